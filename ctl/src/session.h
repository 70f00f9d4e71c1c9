// One connection to a controller line: the loaded plug-in, the transport (a serial device or the
// built-in simulator), and transactions run through the plug-in with their outcome explained.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "items.h"
#include "options.h"
#include "results.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_host/exit_codes.h"
#include "zephlor_host/transaction.h"
#include "zephlor_serial/serial_port.h"
#include "zephlor_sim/simulated_link.h"

namespace zephlor::ctl {

struct Outcome {
  Outcome(ExitCode code_ = kSuccess, std::string message_ = "", std::string request_ = "")
      : code(code_), message(std::move(message_)), request(std::move(request_)) {}

  ExitCode code;
  std::string message;  // for a person, when code is not kSuccess
  std::string request;  // the line sent, empty when none was
  std::chrono::microseconds replyTime{0};  // of the last attempt that got a reply
  bool replied = false;                    // whether any reply (whole or not) arrived
};

// The exit status of a program that a stop request (a signal) ended: 130 for SIGINT, 143 for
// SIGTERM.
ExitCode stoppedExitCode();

class Session {
 public:
  Session();
  ~Session();

  // Loads the plug-in and opens the line.
  Outcome open(const ConnectionOptions& options);

  const host::DriverEntryPoints& driver() const { return driver_.entryPoints(); }

  // Runs one transaction for `item` on `records` (five for a firmware read), again up to
  // --retries times after no reply, an incomplete reply or a refused frame, and explains a
  // failure in terms a person can act on. A reply that differs from its request is warned of on
  // standard error, or with --strict fails.
  Outcome transact(const Item& item, RSDATA* records);

  // Where results go, in the format asked for.
  void setResults(Results& results) { results_ = &results; }
  Results& results() { return *results_; }

  // The built-in simulator's faults, or null when the line is a real device.
  sim::FaultInjector* simulatorFaults() { return simFaults_.get(); }

 private:
  class Trace;

  Outcome attempt(const Item& item, RSDATA* records);

  std::chrono::milliseconds timeout_{1000};
  int retries_ = 0;
  bool strict_ = false;
  host::DriverModule driver_;
  std::unique_ptr<serial::ByteLine> line_;
  std::unique_ptr<sim::ControllerModel> simController_;
  std::unique_ptr<sim::FaultInjector> simFaults_;
  std::unique_ptr<host::LineTransport> transport_;
  std::unique_ptr<Trace> trace_;
  Results* results_ = nullptr;
};

}  // namespace zephlor::ctl
