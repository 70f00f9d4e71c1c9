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
  // For `COMMAND --help` and `help COMMAND`: the command at work, {device} being the platform's
  // serial device.
  const char* example;
};

const VerbRow& verbRow(Command::Verb verb);

// The Commands part of --help, and the verbs scripts may use besides them.
std::string verbsHelp();

// The help of one command (its usage, what it does and an example), or of "items" (the item kinds
// with their address numbers); empty with the reason, and the nearest topic, for another word.
std::string topicHelp(const std::string& topic, std::string& error);

}  // namespace zephlor::ctl
