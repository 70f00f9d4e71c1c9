// zephlorctl's line: the loaded plug-in and the line session on it, with each reading turned into
// the exit status and the sentence zephlorctl reports.
#pragma once

#include <memory>
#include <string>

#include "items.h"
#include "options.h"
#include "results.h"
#include "zephlor_facts/exit_codes.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_line/line_session.h"

namespace zephlor::ctl {

// A transaction's verdict as zephlorctl reports it.
struct Outcome {
  Outcome(ExitCode code_ = kSuccess, std::string message_ = "")
      : code(code_), message(std::move(message_)) {}

  ExitCode code;
  std::string message;  // for a person, with the item in front, when code is not kSuccess
  std::string reason;   // the same without the item
  std::string warning;  // what --lenient let through, for a person; empty when nothing
  line::Reading reading;
};

// The exit status of a program that a stop request (a signal) ended: 130 for SIGINT, 143 for
// SIGTERM.
ExitCode stoppedExitCode();

// What zephlorctl reports of `reading` for `item`: the verdict's exit status and its sentence,
// with the item in front, and what --lenient let through.
Outcome reportedOutcome(const Item& item, const line::Reading& reading,
                        std::chrono::milliseconds timeout);

class Session {
 public:
  Session();
  ~Session();

  // Loads the plug-in and opens the line.
  Outcome open(const ConnectionOptions& options);

  const host::DriverEntryPoints& driver() const { return driver_.entryPoints(); }

  // Opens the line again after it failed, by its name, with the same settings.
  Outcome reopen();

  // Reads `item`, or writes `record` to it, asking again up to --retries times after a missing or
  // garbled reply, and explains a failure in terms a person can act on.
  Outcome read(const Item& item);
  Outcome write(const Item& item, const RSDATA& record);

  // Where results go, in the format asked for.
  void setResults(Results& results) { results_ = &results; }
  Results& results() { return *results_; }

  // The built-in simulator's faults, or null when the line is a real device.
  sim::FaultInjector* simulatorFaults() { return line_ ? line_->simulatorFaults() : nullptr; }

 private:
  host::DriverModule driver_;
  std::unique_ptr<line::LineSession> line_;
  std::unique_ptr<host::TraceSink> trace_;
  Results* results_ = nullptr;
};

}  // namespace zephlor::ctl
