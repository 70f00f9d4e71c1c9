// zephlorctl's commands: how their words are read and how each runs on a session.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "items.h"
#include "session.h"
#include "zephlor_facts/exit_codes.h"
#include "zephlor_sim/fault_injector.h"

namespace zephlor::ctl {

struct Command {
  // In the order of the verb table's rows.
  enum class Verb {
    kInfo,
    kRead,
    kWrite,
    kPoll,
    kRun,
    kListPorts,
    kHelp,
    kFault,
    kSleep,
    kMonitor
  };
  Verb verb = Verb::kInfo;
  std::vector<Item> items;
  float value = 0.0f;                        // write
  std::string valueText;                     // write: the value as given
  CommandOptions options;                    // as given with the command
  std::optional<uint16_t> unsigned16;        // write --u16: sent as a 16-bit unsigned integer
  std::chrono::milliseconds interval{1000};  // poll, sleep
  long long count = 0;                       // poll: samples to take, 0 for no limit
  std::string file;                          // run
  std::vector<std::string> faults;           // fault: KIND[:P] settings as given, empty for none
  sim::FaultPlan faultPlan;                  // fault: the same settings, read
  std::vector<std::string> paths;            // list-ports: devices named besides the system's
  MonitorMode monitorMode = MonitorMode::kBetween;
  std::vector<std::string> monitorSides;  // monitor --between, --tap: host side, controller side
  std::string monitorListen;              // monitor --listen: where the host connects
};

// Reads a command from its words and the command options given with them. `inScript` admits the
// script-only commands (fault, sleep) and refuses the command-line-only ones (run, list-ports).
std::optional<Command> parseCommand(const std::vector<std::string>& words,
                                    const CommandOptions& options, bool inScript,
                                    std::string& error);

// The columns of the records `command` makes, for machine-readable results.
std::vector<std::string> columnsOf(const Command& command);

// Runs `command`, writing results to `out` and explanations to `err`.
ExitCode execute(const Command& command, Session& session, std::ostream& out, std::ostream& err);

// Runs the commands of the script `file` ("-": standard input) on one session.
ExitCode runScript(const std::string& file, Session& session, std::ostream& out, std::ostream& err);

}  // namespace zephlor::ctl
