#include <errno.h>
#include <poll.h>
#include <unistd.h>

#include <thread>

#include "zephlor_host/visible_bytes.h"
#include "zephlor_serial/serial_port.h"
#include "zephlor_sim/simulated_link.h"

namespace zephlor::sim {
namespace {

// A line longer than any request is noise; it is dropped rather than kept growing.
constexpr size_t kLongestUsefulLine = 4096;

// How often a quiet line checks whether it should stop.
constexpr int kStopCheckMilliseconds = 100;

std::string describeFaults(const std::vector<Fault>& faults) {
  std::string text;
  for (Fault fault : faults) text += std::string(text.empty() ? " [" : ", ") + faultName(fault);
  return text.empty() ? text : text + "]";
}

void answer(std::string line, int out, ControllerModel& controller, FaultInjector& faults,
            const std::function<void(const std::string&)>& log) {
  if (!line.empty() && line.back() == '\r') line.pop_back();
  const std::optional<std::string> reply = controller.respond(line);
  if (!reply) {
    if (log) log("ignored " + host::visibleBytes(line));
    return;
  }
  const std::vector<Chunk> chunks = faults.deliver(*reply);
  if (log) {
    log("-> " + host::visibleBytes(line) + "\\r\\n  <- " +
        (chunks.empty() ? std::string("(nothing)") : host::visibleBytes(*reply)) +
        describeFaults(faults.lastFaults()));
  }
  for (const Chunk& chunk : chunks) {
    std::this_thread::sleep_for(chunk.pauseBefore);
    std::string error;
    if (!serial::writeAll(out, chunk.bytes.data(), chunk.bytes.size(), error) && log) log(error);
  }
}

}  // namespace

void serveLines(int in, int out, ControllerModel& controller, FaultInjector& faults,
                const std::function<void(const std::string&)>& log,
                const std::function<bool()>& keepRunning) {
  std::string received;
  char chunk[256];
  while (keepRunning()) {
    pollfd entry{in, POLLIN, 0};
    const int ready = poll(&entry, 1, kStopCheckMilliseconds);
    if (ready == 0 || (ready < 0 && errno == EINTR)) continue;
    const ssize_t count = read(in, chunk, sizeof chunk);
    if (count == 0) return;
    if (count < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      return;
    }
    received.append(chunk, static_cast<size_t>(count));
    size_t lineEnd;
    while ((lineEnd = received.find('\n')) != std::string::npos) {
      std::string line = received.substr(0, lineEnd);
      received.erase(0, lineEnd + 1);
      answer(std::move(line), out, controller, faults, log);
    }
    if (received.size() > kLongestUsefulLine) received.clear();
  }
}

}  // namespace zephlor::sim
