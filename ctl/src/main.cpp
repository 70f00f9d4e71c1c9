// zephlorctl: commissioning a Zephlor controller line from a terminal, through the driver
// plug-in the host application uses.
#include <iostream>

#include "commands.h"
#include "help.h"
#include "options.h"
#include "session.h"
#include "zephlor_serial/stop_request.h"

int main(int argc, char** argv) {
  using namespace zephlor;
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
  if (commandLine.version) {
    std::cout << "zephlorctl " << ZEPHLOR_VERSION
              << "\nBuilt with the osterfell driver and the wirelex codec " << ZEPHLOR_VERSION
              << "; the plug-in is loaded at run time." << std::endl;
    return kSuccess;
  }
  const std::optional<Command> command = parseCommand(commandLine.words, false, error);
  if (!command) {
    std::cerr << "zephlorctl: " << error << "\n(see zephlorctl --help)" << std::endl;
    return kUsage;
  }
  if (command->verb == Command::Verb::kListPorts) return listPorts(*command, std::cout);

  // From here on a signal only asks for a stop: every wait ends, and the session is closed on the
  // way out, giving the device back with the settings it had.
  zephlor::serial::installStopHandlers();
  Session session;
  const Outcome opened = session.open(commandLine.connection);
  if (opened.code != kSuccess) {
    std::cerr << "zephlorctl: " << opened.message << std::endl;
    return opened.code;
  }
  const ExitCode code = execute(*command, session, std::cout, std::cerr);
  return zephlor::serial::stopRequested() ? stoppedExitCode() : code;
}
