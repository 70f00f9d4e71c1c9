// zephlorctl's commands: how their words are read and how each runs on a session.
#pragma once

#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "items.h"
#include "session.h"
#include "zephlor_text/exit_codes.h"

namespace zephlor::ctl {

struct Command {
  enum class Verb { kInfo, kRead, kWrite, kPoll, kRun, kFault, kSleep, kListPorts };
  Verb verb = Verb::kInfo;
  std::vector<Item> items;
  float value = 0.0f;                        // write
  std::string valueText;                     // write: the value as given
  std::optional<uint16_t> unsigned16;        // write --u16: sent as a 16-bit unsigned integer
  std::chrono::milliseconds interval{1000};  // poll, sleep
  long long count = 0;                       // poll: samples to take, 0 for no limit
  std::string file;                          // run
  std::vector<std::string> faults;           // fault: KIND[:P] settings, empty for none
  std::vector<std::string> paths;            // list-ports: devices named besides the system's
};

// Reads a command from its words. `inScript` admits the script-only commands (fault, sleep) and
// refuses run.
std::optional<Command> parseCommand(const std::vector<std::string>& words, bool inScript,
                                    std::string& error);

// The columns of the records `command` makes, for machine-readable results.
std::vector<std::string> columnsOf(const Command& command);

// Runs `command`, writing results to `out` and explanations to `err`.
ExitCode execute(const Command& command, Session& session, std::ostream& out, std::ostream& err);

// Lists the serial ports a user can pass to --device; it needs no session.
ExitCode listPorts(const Command& command, std::ostream& out);

// Runs the commands of the script `file` ("-": standard input) on one session.
ExitCode runScript(const std::string& file, Session& session, std::ostream& out, std::ostream& err);

}  // namespace zephlor::ctl
