// What the POSIX sources of this library share about the stop request.
#pragma once

#include <chrono>

namespace zephlor::io {

// Readable once a stop has been requested, and from then on; for poll().
int stopDescriptor();

// What poll() takes as the wait until `deadline`: -1 for none, never short of it.
int millisecondsUntil(std::chrono::steady_clock::time_point deadline);

}  // namespace zephlor::io
