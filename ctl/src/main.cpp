// zephlorctl: commissioning a Zephlor controller line from a terminal, through the driver
// plug-in the host application uses.
#include <signal.h>

#include <iostream>

#include "commands.h"
#include "help.h"
#include "options.h"
#include "session.h"

namespace {

void onInterrupt(int) { zephlor::ctl::requestStop(); }

}  // namespace

int main(int argc, char** argv) {
  using namespace zephlor::ctl;
  CommandLine commandLine;
  std::string error;
  if (!parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), commandLine, error)) {
    std::cerr << "zephlorctl: " << error << "\n(see zephlorctl --help)" << std::endl;
    return kUsage;
  }
  if (commandLine.help || (!commandLine.words.empty() && commandLine.words[0] == "help")) {
    std::cout << kHelpText;
    return kSuccess;
  }
  const std::optional<Command> command = parseCommand(commandLine.words, false, error);
  if (!command) {
    std::cerr << "zephlorctl: " << error << "\n(see zephlorctl --help)" << std::endl;
    return kUsage;
  }

  struct sigaction action {};
  action.sa_handler = onInterrupt;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Session session;
  const Outcome opened = session.open(commandLine.connection);
  if (opened.code != kSuccess) {
    std::cerr << "zephlorctl: " << opened.message << std::endl;
    return opened.code;
  }
  return execute(*command, session, std::cout, std::cerr);
}
