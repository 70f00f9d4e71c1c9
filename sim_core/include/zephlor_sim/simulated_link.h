// The simulator inside the host's process: a line transport whose other end is a controller
// model behind a fault injector. Reply bytes become readable at the times the faults give them,
// so timeouts, late replies and split replies behave as on a real line.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "zephlor_host/line_transport.h"
#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/fault_injector.h"
#include "zephlor_sim/request_lines.h"

namespace zephlor::sim {

class SimulatedLink : public host::LineTransport {
 public:
  using Clock = std::chrono::steady_clock;

  // What the other end sends back for one request line (given without its line end): the
  // pieces of its reply, each after its pause; nothing for no reply.
  using Responder = std::function<std::vector<Chunk>(const std::string& request)>;

  // `baud` sets how long each byte takes on the wire (ten bit times: 8N1 with its start bit).
  SimulatedLink(Responder responder, int baud = 9600)
      : responder_(std::move(responder)),
        bytePeriod_(std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(10)) / baud) {}
  // The controller model behind the fault injector.
  SimulatedLink(ControllerModel& controller, FaultInjector& faults, int baud = 9600);

  bool discardPendingInput() override;
  host::SendStatus send(const char* data, size_t length, std::chrono::milliseconds timeout,
                        std::string& error) override;
  host::ReceiveResult receiveLine(char* buffer, size_t capacity,
                                  std::chrono::milliseconds timeout) override;

 private:
  struct PendingByte {
    Clock::time_point arrives;
    char byte;
  };

  Responder responder_;
  Clock::duration bytePeriod_;
  RequestLines requests_;
  std::deque<PendingByte> pending_;
};

}  // namespace zephlor::sim
