#include "write_queue.h"

#include <algorithm>

namespace zephlor::gateway {

WriteQueue::Added WriteQueue::add(WriteRequest request, std::optional<WriteRequest>& replaced) {
  const auto same = std::find_if(waiting_.begin(), waiting_.end(),
                                 [&](const WriteRequest& w) { return w.item == request.item; });
  if (same != waiting_.end()) {
    replaced = std::move(*same);
    *same = std::move(request);
    return Added::kReplaced;
  }
  if (waiting_.size() >= capacity_) return Added::kFull;
  waiting_.push_back(std::move(request));
  return Added::kQueued;
}

std::optional<WriteRequest> WriteQueue::take() {
  if (waiting_.empty()) return std::nullopt;
  WriteRequest next = std::move(waiting_.front());
  waiting_.pop_front();
  return next;
}

std::deque<WriteRequest> WriteQueue::takeAll() {
  std::deque<WriteRequest> all;
  all.swap(waiting_);
  return all;
}

}  // namespace zephlor::gateway
