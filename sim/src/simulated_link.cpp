#include "zephlor_sim/simulated_link.h"

#include <algorithm>

#include "zephlor_io/stop_request.h"

namespace zephlor::sim {

SimulatedLink::SimulatedLink(ControllerModel& controller, FaultInjector& faults, int baud)
    : SimulatedLink(
          [&controller, &faults](const std::string& request) {
            const std::optional<std::string> reply = controller.respond(request);
            return reply ? faults.deliver(*reply) : std::vector<Chunk>();
          },
          baud) {}

void SimulatedLink::discardPendingInput() {
  const Clock::time_point now = Clock::now();
  while (!pending_.empty() && pending_.front().arrives <= now) pending_.pop_front();
}

host::SendStatus SimulatedLink::send(const char* data, size_t length, std::chrono::milliseconds,
                                     std::string&) {
  // The controller has the request once its last byte is across the wire.
  const Clock::time_point requestArrived =
      Clock::now() + bytePeriod_ * static_cast<Clock::rep>(length);
  requests_.append(std::string_view(data, length));
  while (const std::optional<std::string> line = requests_.next()) {
    // Replies queue behind whatever is still on its way, as on a single line.
    Clock::time_point at =
        pending_.empty() ? requestArrived : std::max(requestArrived, pending_.back().arrives);
    for (const Chunk& chunk : responder_(*line)) {
      at += chunk.pauseBefore;
      for (char byte : chunk.bytes) pending_.push_back({at += bytePeriod_, byte});
    }
  }
  return host::SendStatus::kSent;
}

host::ReceiveResult SimulatedLink::receiveLine(char* buffer, size_t capacity,
                                               std::chrono::milliseconds timeout) {
  host::ReceiveResult result;
  const Clock::time_point deadline = Clock::now() + timeout;
  while (!result.lineComplete) {
    if (pending_.empty() || pending_.front().arrives > deadline) {
      result.interrupted = !io::sleepUntil(deadline);
      break;
    }
    if (!io::sleepUntil(pending_.front().arrives)) {
      result.interrupted = true;
      break;
    }
    const char byte = pending_.front().byte;
    pending_.pop_front();
    if (result.length < capacity) {
      buffer[result.length++] = byte;
    } else {
      result.overflowed = true;
    }
    result.lineComplete = byte == '\n';
  }
  return result;
}

}  // namespace zephlor::sim
