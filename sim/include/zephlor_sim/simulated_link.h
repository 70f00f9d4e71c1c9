// The simulator inside the host's process: a line transport whose other end is a controller
// model behind a fault injector. Reply bytes become readable at the times the faults give them,
// so timeouts, late replies and split replies behave as on a real line.
#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <string>

#include "zephlor_host/line_transport.h"
#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/fault_injector.h"

namespace zephlor::sim {

class SimulatedLink : public host::LineTransport {
 public:
  using Clock = std::chrono::steady_clock;

  // `baud` sets how long each byte takes on the wire (ten bit times: 8N1 with its start bit).
  SimulatedLink(ControllerModel& controller, FaultInjector& faults, int baud = 9600)
      : controller_(controller),
        faults_(faults),
        bytePeriod_(std::chrono::duration_cast<Clock::duration>(std::chrono::seconds(10)) / baud) {}

  void discardPendingInput() override;
  bool send(const char* data, size_t length, std::string& error) override;
  host::ReceiveResult receiveLine(char* buffer, size_t capacity,
                                  std::chrono::milliseconds timeout) override;

 private:
  struct PendingByte {
    Clock::time_point arrives;
    char byte;
  };

  ControllerModel& controller_;
  FaultInjector& faults_;
  Clock::duration bytePeriod_;
  std::string partialRequest_;
  std::deque<PendingByte> pending_;
};

// Answers request lines arriving on `in` by writing replies to `out` until `in` ends or
// `keepRunning` returns false. Lines end in LF, with an optional CR before it. `log`, when set,
// receives one line of text per request.
void serveLines(int in, int out, ControllerModel& controller, FaultInjector& faults,
                const std::function<void(const std::string&)>& log,
                const std::function<bool()>& keepRunning);

}  // namespace zephlor::sim
