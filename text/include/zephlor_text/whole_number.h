// Reading a whole number that a person typed, within bounds.
#pragma once

#include <cerrno>
#include <cstdlib>
#include <string>

namespace zephlor::text {

// A whole number from `low` to `high`, and nothing else, in `text`.
inline bool parseBounded(const std::string& text, long long low, long long high, long long& out) {
  char* end = nullptr;
  errno = 0;
  out = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && errno == 0 && out >= low && out <= high;
}

}  // namespace zephlor::text
