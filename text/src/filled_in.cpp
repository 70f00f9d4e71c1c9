#include "zephlor_text/filled_in.h"

namespace zephlor::text {

std::string filledIn(std::string_view words, const Gaps& gaps) {
  std::string filled;
  for (size_t at = 0; at < words.size();) {
    const size_t open = words.find('{', at);
    const size_t close = open == std::string_view::npos ? open : words.find('}', open);
    if (close == std::string_view::npos) {
      filled += words.substr(at);
      break;
    }
    filled += words.substr(at, open - at);
    const auto gap = gaps.find(words.substr(open + 1, close - open - 1));
    filled += gap != gaps.end() ? gap->second : std::string(words.substr(open, close + 1 - open));
    at = close + 1;
  }
  return filled;
}

}  // namespace zephlor::text
