#include "zephlor_sim/request_words.h"

#include <cctype>

namespace zephlor::sim {
namespace {

// The numbers after "#": each after one or more blanks, an optional minus sign and decimal
// digits within the signed 32-bit range. Anything else makes the line unknown.
std::optional<std::vector<int32_t>> parseNumbers(std::string_view text) {
  std::vector<int32_t> numbers;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] != ' ') return std::nullopt;
    while (at < text.size() && text[at] == ' ') ++at;
    if (at == text.size()) break;  // trailing blanks
    const bool negative = text[at] == '-';
    if (negative) ++at;
    if (at == text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) {
      return std::nullopt;
    }
    int64_t magnitude = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
      magnitude = magnitude * 10 + (text[at] - '0');
      if (magnitude > 2147483648LL) return std::nullopt;
    }
    const int64_t number = negative ? -magnitude : magnitude;
    if (number > INT32_MAX) return std::nullopt;
    numbers.push_back(static_cast<int32_t>(number));
  }
  return numbers;
}

}  // namespace

std::optional<RequestWords> readRequest(std::string_view line) {
  if (line.size() < 4 || line[0] != 'V' || line[3] != '#') return std::nullopt;
  const facts::LineCommand* command = facts::lineCommandOf(line.substr(1, 2));
  if (command == nullptr) return std::nullopt;
  const std::optional<std::vector<int32_t>> numbers = parseNumbers(line.substr(4));
  if (!numbers) return std::nullopt;
  const auto addressCount = static_cast<size_t>(command->addressCount);
  const size_t least = addressCount + (command->action == facts::LineAction::kSet ? 1 : 0);
  const size_t most = least + (command->takesModifier ? 1 : 0);
  if (numbers->size() < least || numbers->size() > most) return std::nullopt;
  RequestWords words;
  words.command = command;
  words.addresses.assign(numbers->begin(), numbers->begin() + static_cast<long>(addressCount));
  if (least > addressCount) words.value = (*numbers)[addressCount];
  if (numbers->size() == most && most > least) words.modifier = numbers->back();
  return words;
}

}  // namespace zephlor::sim
