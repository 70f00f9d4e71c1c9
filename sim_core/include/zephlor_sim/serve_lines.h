// The simulator's side of a line: requests read as they arrive, replies written back through the
// fault injector, until the line ends, fails, or a stop is requested.
#pragma once

#include <functional>
#include <mutex>
#include <string>

#include "zephlor_io/serial_port.h"
#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/fault_injector.h"

namespace zephlor::sim {

struct ServedLine {
  io::ByteLine& line;
  // Standard input ends when its writer is done; a device that ends has hung up.
  bool endIsNormal = false;
  // A line without flow control: a reply that does not fit into what the line takes now is
  // dropped, and what is still queued for the client is thrown away, so a client that stopped
  // reading cannot wedge the simulator or leave half a reply for the next. Otherwise (standard
  // output) replies wait until they are taken or a stop is requested.
  bool dropUnread = true;
  // Held while the controller answers, when several lines share it (one per TCP connection).
  std::mutex* sharedController = nullptr;
};

enum class ServeEnd { kStopped, kInputEnded, kLineFailed };

struct ServeResult {
  ServeEnd end = ServeEnd::kStopped;
  std::string message;  // how the line failed
};

// `log`, when set, receives one line of text per request and per dropped reply or line.
ServeResult serveLines(const ServedLine& line, ControllerModel& controller, FaultInjector& faults,
                       const std::function<void(const std::string&)>& log);

}  // namespace zephlor::sim
