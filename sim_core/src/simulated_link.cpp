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

bool SimulatedLink::discardPendingInput() {
  const Clock::time_point now = Clock::now();
  while (!pending_.empty() && pending_.front().arrives <= now) pending_.pop_front();
  return true;  // the simulated controller speaks only when asked
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
  // One wait for the whole line, until its line end has arrived (or the deadline, with what has
  // arrived by then), so the pace is the wire's to the microsecond.
  size_t take = 0;
  while (take < pending_.size() && pending_[take].arrives <= deadline) {
    if (pending_[take++].byte == '\n') break;
  }
  const bool lineEnd = take != 0 && pending_[take - 1].byte == '\n';
  if (!io::sleepUntil(lineEnd ? pending_[take - 1].arrives : deadline)) {
    result.interrupted = true;
    return result;
  }
  for (size_t i = 0; i < take; ++i) {
    if (result.length < capacity) {
      buffer[result.length++] = pending_.front().byte;
    } else {
      result.overflowed = true;
    }
    pending_.pop_front();
  }
  result.lineComplete = lineEnd;
  return result;
}

}  // namespace zephlor::sim
