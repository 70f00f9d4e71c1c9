// zephlorctl's verbs, one row each: its name, where it may stand (the command line, a script or
// both), how its words are read, how it runs, and its usage and help. The command parser, the
// runner and --help all read this table.
#pragma once

#include <ostream>
#include <string>

#include "command_words.h"
#include "commands.h"

namespace zephlor::ctl {

enum class Where { kAnywhere, kCommandLineOnly, kScriptOnly };

struct VerbRow {
  const char* name;
  Command::Verb verb;
  Where where;
  bool (*read)(CommandWords& words, Command& command);
  // On a session with its line open; null for a verb that needs no line.
  ExitCode (*run)(const Command& command, Session& session, std::ostream& out, std::ostream& err);
  // Without a line (help, list-ports); null for the others.
  ExitCode (*runAlone)(const Command& command, std::ostream& out);
  const char* usage;
  const char* help;
};

const VerbRow& verbRow(Command::Verb verb);

// The Commands part of --help, and the verbs scripts may use besides them.
std::string verbsHelp();

}  // namespace zephlor::ctl
