// zephlorctl: commissioning a Zephlor controller line from a terminal, through the driver
// plug-in the host application uses.
#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

#include "commands.h"
#include "help.h"
#include "options.h"
#include "session.h"
#include "zephlor_serial/console.h"
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
  // Results go to standard output or --output FILE; standard error keeps the diagnostics.
  zephlor::serial::makeStandardOutputBinary();
  std::ofstream file;
  if (!commandLine.output.file.empty()) {
    file.open(commandLine.output.file, std::ios::out | std::ios::trunc | std::ios::binary);
    if (!file) {
      std::cerr << "zephlorctl: cannot write " << commandLine.output.file << ": "
                << std::strerror(errno) << std::endl;
      return kOutputFailed;
    }
  }
  std::ostream& out = file.is_open() ? static_cast<std::ostream&>(file) : std::cout;
  Results results(commandLine.output.format, out);
  results.setColumns(columnsOf(*command));

  Session session;
  session.setResults(results);
  const Outcome opened = session.open(commandLine.connection);
  if (opened.code != kSuccess) {
    std::cerr << "zephlorctl: " << opened.message << std::endl;
    return opened.code;
  }
  const ExitCode code = execute(*command, session, out, std::cerr);
  return zephlor::serial::stopRequested() ? stoppedExitCode() : code;
}
