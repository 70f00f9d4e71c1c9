#include "zephlor_sim/simulated_link.h"

#include <algorithm>
#include <thread>

namespace zephlor::sim {

void SimulatedLink::discardPendingInput() {
  const Clock::time_point now = Clock::now();
  while (!pending_.empty() && pending_.front().arrives <= now) pending_.pop_front();
}

bool SimulatedLink::send(const char* data, size_t length, std::string&) {
  // The controller has the request once its last byte is across the wire.
  const Clock::time_point requestArrived =
      Clock::now() + bytePeriod_ * static_cast<Clock::rep>(length);
  partialRequest_.append(data, length);
  size_t lineEnd;
  while ((lineEnd = partialRequest_.find('\n')) != std::string::npos) {
    std::string line = partialRequest_.substr(0, lineEnd);
    partialRequest_.erase(0, lineEnd + 1);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::optional<std::string> reply = controller_.respond(line);
    if (!reply) continue;
    // Replies queue behind whatever is still on its way, as on a single line.
    Clock::time_point at =
        pending_.empty() ? requestArrived : std::max(requestArrived, pending_.back().arrives);
    for (const Chunk& chunk : faults_.deliver(*reply)) {
      at += chunk.pauseBefore;
      for (char byte : chunk.bytes) pending_.push_back({at += bytePeriod_, byte});
    }
  }
  return true;
}

host::ReceiveResult SimulatedLink::receiveLine(char* buffer, size_t capacity,
                                               std::chrono::milliseconds timeout) {
  host::ReceiveResult result;
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!result.lineComplete) {
    if (pending_.empty() || pending_.front().arrives > deadline) {
      std::this_thread::sleep_until(deadline);
      break;
    }
    std::this_thread::sleep_until(pending_.front().arrives);
    const char byte = pending_.front().byte;
    pending_.pop_front();
    if (result.length < capacity) buffer[result.length++] = byte;
    result.lineComplete = byte == '\n';
  }
  return result;
}

}  // namespace zephlor::sim
