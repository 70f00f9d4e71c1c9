#include "zephlor_sim/serve_lines.h"

#include "zephlor_io/serial_port.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_sim/request_lines.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::sim {
namespace {

using Log = std::function<void(const std::string&)>;

std::string describeFaults(const std::vector<Fault>& faults) {
  std::string text;
  for (Fault fault : faults) text += std::string(text.empty() ? " [" : ", ") + faultName(fault);
  return text.empty() ? text : text + "]";
}

// Writes one piece of a reply as the line takes it. False when the reply is to go no further:
// dropped, or the line failed (then `result` says so).
bool deliverChunk(const ServedLine& line, const std::string& bytes, const Log& log,
                  ServeResult& result) {
  const io::IoResult written =
      line.dropUnread ? line.line.writeWhatFits(bytes.data(), bytes.size())
                      : line.line.writeAll(bytes.data(), bytes.size(), io::kNoDeadline);
  switch (written.status) {
    case io::IoStatus::kDone:
      break;
    case io::IoStatus::kStopped:
    case io::IoStatus::kTimedOut:
      return false;
    case io::IoStatus::kHungUp:
    case io::IoStatus::kFailed:
      result = {ServeEnd::kLineFailed, written.message};
      return false;
  }
  if (written.count == bytes.size()) return true;
  line.line.discardUnsentOutput();
  if (log) log("reply dropped: the line is not being read");
  return false;
}

// Answers one request line; false when the line failed or a stop was requested meanwhile.
bool answer(const std::string& request, const ServedLine& line, ControllerModel& controller,
            FaultInjector& faults, const Log& log, ServeResult& result) {
  std::vector<Chunk> chunks;
  {
    std::unique_lock<std::mutex> shared;
    if (line.sharedController != nullptr) shared = std::unique_lock(*line.sharedController);
    const std::optional<std::string> reply = controller.respond(request);
    if (!reply) {
      if (log) log("ignored " + text::visibleBytes(request) + " (" + controller.whySilent() + ")");
      return true;
    }
    chunks = faults.deliver(*reply);
    if (log) {
      log("-> " + text::visibleBytes(request) + "\\r\\n  <- " +
          (chunks.empty() ? std::string("(nothing)") : text::visibleBytes(*reply)) +
          describeFaults(faults.lastFaults()));
    }
  }
  for (const Chunk& chunk : chunks) {
    if (!io::sleepUntil(std::chrono::steady_clock::now() + chunk.pauseBefore)) return false;
    if (!deliverChunk(line, chunk.bytes, log, result)) break;
  }
  return result.end != ServeEnd::kLineFailed;
}

}  // namespace

ServeResult serveLines(const ServedLine& line, ControllerModel& controller, FaultInjector& faults,
                       const Log& log) {
  ServeResult result;
  RequestLines requests;
  char chunk[256];
  while (!io::stopRequested()) {
    const io::IoResult read = line.line.readSome(chunk, sizeof chunk, io::kNoDeadline);
    switch (read.status) {
      case io::IoStatus::kDone:
        break;
      case io::IoStatus::kStopped:
      case io::IoStatus::kTimedOut:
        return result;
      case io::IoStatus::kHungUp:
        if (line.endIsNormal) return {ServeEnd::kInputEnded, ""};
        return {ServeEnd::kLineFailed, read.message};
      case io::IoStatus::kFailed:
        return {ServeEnd::kLineFailed, read.message};
    }
    requests.append(std::string_view(chunk, read.count));
    if (const size_t dropped = requests.takeDiscarded(); dropped != 0 && log) {
      log("ignored " + std::to_string(dropped) + " line(s) longer than any request");
    }
    while (const std::optional<std::string> request = requests.next()) {
      if (!answer(*request, line, controller, faults, log, result)) return result;
    }
  }
  return result;
}

}  // namespace zephlor::sim
