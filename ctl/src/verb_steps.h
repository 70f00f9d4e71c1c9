// What each verb does, in two steps the verb table puts in its row: reading the command from its
// words, and running it (on a session, or for help and list-ports without one).
#pragma once

#include <ostream>

#include "command_words.h"
#include "commands.h"

namespace zephlor::ctl::steps {

bool readInfo(CommandWords& words, Command& command);
bool readRead(CommandWords& words, Command& command);
bool readWrite(CommandWords& words, Command& command);
bool readPoll(CommandWords& words, Command& command);
bool readRun(CommandWords& words, Command& command);
bool readListPorts(CommandWords& words, Command& command);
bool readFault(CommandWords& words, Command& command);
bool readSleep(CommandWords& words, Command& command);
bool readNothing(CommandWords& words, Command& command);
bool readMonitor(CommandWords& words, Command& command);
bool readHelp(CommandWords& words, Command& command);

ExitCode runInfo(const Command& command, Session& session, std::ostream& out, std::ostream& err);
ExitCode runRead(const Command& command, Session& session, std::ostream& out, std::ostream& err);
ExitCode runWrite(const Command& command, Session& session, std::ostream& out, std::ostream& err);
ExitCode runPoll(const Command& command, Session& session, std::ostream& out, std::ostream& err);
ExitCode runRun(const Command& command, Session& session, std::ostream& out, std::ostream& err);
ExitCode runFault(const Command& command, Session& session, std::ostream& out, std::ostream& err);
ExitCode runSleep(const Command& command, Session& session, std::ostream& out, std::ostream& err);

ExitCode listPorts(const Command& command, std::ostream& out);
ExitCode showHelp(const Command& command, std::ostream& out);

}  // namespace zephlor::ctl::steps
