// How long is left until a deadline, as the platforms' waits take it, shared by both backends.
#pragma once

#include <algorithm>
#include <chrono>

#include "zephlor_io/serial_port.h"

namespace zephlor::io {

// Whole milliseconds until `deadline`, rounded up so a wait does not wake just short of it and
// spin, from 0 to `most`; `most` for no deadline.
inline long long millisecondsLeft(Deadline deadline, long long most) {
  if (deadline == kNoDeadline) return most;
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return std::clamp<long long>(left.count(), 0, most);
}

}  // namespace zephlor::io
