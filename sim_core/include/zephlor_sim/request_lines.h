// Cuts the bytes a controller receives into request lines. A line longer than any request is
// noise: it is dropped whole, up to its line end, so no tail of it is ever taken for a request.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zephlor::sim {

// The longest line kept. The host's requests are at most 32 bytes with CR LF; the controller
// also takes extra blanks between numbers, so there is room beyond that.
constexpr size_t kLongestRequestLine = 128;

class RequestLines {
 public:
  void append(std::string_view bytes);

  // The next whole line, without its LF and an optional CR before it; nothing until one is there.
  std::optional<std::string> next();

  // Lines dropped for their length since the last call.
  size_t takeDiscarded() { return std::exchange(discarded_, 0); }

 private:
  std::string partial_;
  std::deque<std::string> complete_;
  bool skipping_ = false;  // inside an over-long line, until its LF
  size_t discarded_ = 0;
};

}  // namespace zephlor::sim
