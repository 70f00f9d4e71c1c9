#include "zephlor_sim/request_lines.h"

namespace zephlor::sim {

void RequestLines::append(std::string_view bytes) {
  for (char byte : bytes) {
    if (byte == '\n') {
      if (!skipping_) {
        if (!partial_.empty() && partial_.back() == '\r') partial_.pop_back();
        complete_.push_back(std::move(partial_));
      }
      partial_.clear();
      skipping_ = false;
    } else if (!skipping_) {
      partial_ += byte;
      if (partial_.size() > kLongestRequestLine) {
        partial_.clear();
        skipping_ = true;
        ++discarded_;
      }
    }
  }
}

std::optional<std::string> RequestLines::next() {
  if (complete_.empty()) return std::nullopt;
  std::string line = std::move(complete_.front());
  complete_.pop_front();
  return line;
}

}  // namespace zephlor::sim
