// The writes waiting for one line. Values are state, not events: a newer write to an item
// replaces the one still waiting for it (which is answered as superseded), so a client that
// writes faster than the line carries holds at most one write per item, and the line's polls
// keep their share.
#pragma once

#include <cstddef>
#include <deque>
#include <optional>

#include "payloads.h"

namespace zephlor::gateway {

struct WriteRequest {
  size_t item = 0;  // its index in the line's items
  double value = 0;
  Json id;
};

class WriteQueue {
 public:
  explicit WriteQueue(size_t capacity) : capacity_(capacity) {}

  enum class Added {
    kQueued,    // behind the writes to other items
    kReplaced,  // in the place of the waiting write to the same item, now in `replaced`
    kFull,      // `capacity` other items have writes waiting; refused
  };
  Added add(WriteRequest request, std::optional<WriteRequest>& replaced);

  // The write that waited longest, if any.
  std::optional<WriteRequest> take();
  // Every waiting write, oldest first, leaving none.
  std::deque<WriteRequest> takeAll();

  bool empty() const { return waiting_.empty(); }
  size_t size() const { return waiting_.size(); }

 private:
  size_t capacity_;
  std::deque<WriteRequest> waiting_;
};

}  // namespace zephlor::gateway
