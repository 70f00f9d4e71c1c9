// One connection to a controller line: the loaded plug-in, the transport (a serial device or the
// built-in simulator), and transactions run through the plug-in with their outcome explained.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "items.h"
#include "options.h"
#include "results.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_host/transaction.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_sim/simulated_link.h"
#include "zephlor_facts/exit_codes.h"

namespace zephlor::ctl {

// A transaction's verdict as zephlorctl reports it.
struct Outcome {
  Outcome(ExitCode code_ = kSuccess, std::string message_ = "")
      : code(code_), message(std::move(message_)) {}

  ExitCode code;
  std::string message;               // for a person, when code is not kSuccess
  std::string warning;               // what --lenient let through, for a person; empty when nothing
  std::string request;               // the line sent, empty when none was
  std::optional<int64_t> sentValue;  // a write's value field as it went on the line
  host::TransactionOutcome verdict = host::TransactionOutcome::kCompleted;
  std::chrono::microseconds replyTime{0};  // of the last attempt that got a reply
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

  // Opens the device again after the line failed (a device server that dropped the connection,
  // a USB adapter unplugged for a moment): by its name, with the same settings.
  Outcome reopen();

  // Runs one transaction for `item` on `records` (five for a firmware read), again up to
  // --retries times after a missing or garbled reply, and explains a failure in terms a person
  // can act on.
  Outcome transact(const Item& item, RSDATA* records);

  // Where results go, in the format asked for.
  void setResults(Results& results) { results_ = &results; }
  Results& results() { return *results_; }

  // The built-in simulator's faults, or null when the line is a real device.
  sim::FaultInjector* simulatorFaults() { return simFaults_.get(); }

 private:
  Outcome attempt(const Item& item, RSDATA* records);
  Outcome openDevice();

  std::string device_;  // empty for the built-in simulator
  int baud_ = 9600;
  host::TransactionRules rules_;
  int retries_ = 0;
  host::DriverModule driver_;
  std::unique_ptr<io::ByteLine> line_;
  std::unique_ptr<sim::ControllerModel> simController_;
  std::unique_ptr<sim::FaultInjector> simFaults_;
  std::unique_ptr<host::LineTransport> transport_;
  std::unique_ptr<host::TraceSink> trace_;
  Results* results_ = nullptr;
};

}  // namespace zephlor::ctl
