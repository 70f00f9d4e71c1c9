#include "zephlor_host/reply_line.h"

#include <cstdint>
#include <vector>

#include "zephlor_text/visible_bytes.h"

namespace zephlor::host {
namespace {

using text::quotedBytes;
using text::visibleBytes;

// The blank-separated fields after the "#", the line end taken off. A byte that is neither a
// blank nor part of the line end stays in its field, where it makes that field no number.
std::vector<std::string_view> fieldsOf(std::string_view line) {
  const size_t hash = line.find('#');
  std::string_view body =
      hash == std::string_view::npos ? std::string_view() : line.substr(hash + 1);
  if (!body.empty() && body.back() == '\n') body.remove_suffix(1);
  if (!body.empty() && body.back() == '\r') body.remove_suffix(1);
  std::vector<std::string_view> fields;
  while (!body.empty()) {
    const size_t start = body.find_first_not_of(' ');
    if (start == std::string_view::npos) break;
    body.remove_prefix(start);
    const size_t end = body.find(' ');
    fields.push_back(body.substr(0, end));
    body.remove_prefix(end == std::string_view::npos ? body.size() : end);
  }
  return fields;
}

// An optional minus sign and decimal digits within the signed 32-bit range, nothing else.
bool isWholeNumber(std::string_view text, int64_t* value = nullptr) {
  const bool negative = !text.empty() && text.front() == '-';
  if (negative) text.remove_prefix(1);
  if (text.empty() || text.size() > 10) return false;
  int64_t magnitude = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10 + (c - '0');
  }
  if (magnitude > (negative ? 2147483648LL : 2147483647LL)) return false;
  if (value != nullptr) *value = negative ? -magnitude : magnitude;
  return true;
}

// Whole numbers joined by `separator`, exactly `count` of them ("2.10", "11/22/33").
bool isNumberGroup(std::string_view text, char separator, int count) {
  for (int i = 0; i < count; ++i) {
    const size_t end = i + 1 < count ? text.find(separator) : text.size();
    if (end == std::string_view::npos || !isWholeNumber(text.substr(0, end))) return false;
    text.remove_prefix(i + 1 < count ? end + 1 : end);
  }
  return true;
}

bool isFirmwareValue(const std::vector<std::string_view>& fields, size_t at) {
  return fields.size() == at + 3 && fields[at] == "VER" && isNumberGroup(fields[at + 1], '.', 2) &&
         isNumberGroup(fields[at + 2], '/', 3);
}

ReplyReading fault(ReplyFault kind, std::string explanation) {
  return {kind, std::move(explanation)};
}

std::string joined(const std::vector<std::string_view>& fields, size_t from, size_t to) {
  std::string text;
  for (size_t i = from; i < to && i < fields.size(); ++i) {
    text += (i == from ? "" : " ") + std::string(fields[i]);
  }
  return text;
}

}  // namespace

ReplyReading readReplyLine(std::string_view request, std::string_view reply, int addressCount,
                           bool firmware) {
  if (request.size() < 4 || reply.size() < 4 || reply.substr(1, 3) != request.substr(1, 3)) {
    return fault(ReplyFault::kOtherItem, "the reply " + quotedBytes(reply.substr(0, 4)) +
                                             " answers another request than " +
                                             quotedBytes(request.substr(0, 4)));
  }
  const std::vector<std::string_view> asked = fieldsOf(request);
  const std::vector<std::string_view> answered = fieldsOf(reply);
  const auto addresses = static_cast<size_t>(addressCount);
  for (size_t i = 0; i < addresses; ++i) {
    int64_t echoed = 0;
    int64_t sent = 0;
    if (i >= answered.size() || !isWholeNumber(answered[i], &echoed)) {
      return fault(ReplyFault::kNotANumber,
                   "the reply's address fields are not numbers: " + quotedBytes(reply));
    }
    if (i < asked.size() && isWholeNumber(asked[i], &sent) && echoed != sent) {
      return fault(ReplyFault::kOtherItem,
                   "the reply names addresses " + visibleBytes(joined(answered, 0, addresses)) +
                       ", the request " + joined(asked, 0, addresses) + ": " + quotedBytes(reply));
    }
  }
  const bool wholeValue =
      firmware ? isFirmwareValue(answered, addresses)
               : answered.size() == addresses + 1 && isWholeNumber(answered[addresses]);
  if (!wholeValue) {
    return fault(ReplyFault::kNotANumber,
                 "the reply's value field is not wholly a number: " + quotedBytes(reply));
  }
  return {};
}

std::optional<int64_t> requestValueField(std::string_view request, int addressCount) {
  const std::vector<std::string_view> fields = fieldsOf(request);
  const auto at = static_cast<size_t>(addressCount);
  int64_t value = 0;
  if (at >= fields.size() || !isWholeNumber(fields[at], &value)) return std::nullopt;
  return value;
}

}  // namespace zephlor::host
