// zephlorctl: commissioning a Zephlor controller line from a terminal, through the driver
// plug-in the host application uses.
#include <filesystem>
#include <iostream>
#include <memory>

#include "commands.h"
#include "help.h"
#include "monitor_running.h"
#include "options.h"
#include "output_file.h"
#include "session.h"
#include "verbs.h"
#include "zephlor_io/console.h"
#include "zephlor_io/stop_request.h"

namespace {

// Whether two names are one file (the same device and file number), as a script and the output
// that would overwrite it.
bool isSameFile(const std::string& first, const std::string& second) {
  std::error_code ignored;
  return second != "-" && std::filesystem::equivalent(first, second, ignored);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zephlor;
  using namespace zephlor::ctl;
  CommandLine commandLine;
  std::string error;
  if (!parseCommandLine(std::vector<std::string>(argv + 1, argv + argc), commandLine, error)) {
    std::cerr << "zephlorctl: " << error << "\n(see zephlorctl --help)" << std::endl;
    return kUsage;
  }
  if (commandLine.help) {
    // COMMAND --help: that command's help alone.
    std::string unknown;
    const std::string help =
        commandLine.words.empty() ? "" : topicHelp(commandLine.words[0], unknown);
    std::cout << (help.empty() ? helpText() : help);
    return kSuccess;
  }
  if (commandLine.version) {
    std::cout << "zephlorctl " << ZEPHLOR_VERSION
              << "\nBuilt with the osterfell driver and the wirelex codec " << ZEPHLOR_VERSION
              << "; the plug-in is loaded at run time." << std::endl;
    return kSuccess;
  }
  const std::optional<Command> command =
      parseCommand(commandLine.words, commandLine.commandOptions, false, error);
  if (!command) {
    std::cerr << "zephlorctl: " << error << "\n(see zephlorctl --help)" << std::endl;
    return kUsage;
  }
  // The monitor opens lines of its own.
  if (command->verb == Command::Verb::kMonitor) return runMonitor(*command, commandLine);
  // help and list-ports need no line.
  if (const VerbRow& verb = verbRow(command->verb); verb.runAlone != nullptr) {
    return verb.runAlone(*command, std::cout);
  }
  if (!commandLine.environmentError.empty()) {
    std::cerr << "zephlorctl: " << commandLine.environmentError << std::endl;
    return kUsage;
  }

  // From here on a signal only asks for a stop: every wait ends, and the session is closed on the
  // way out, giving the device back with the settings it had.
  zephlor::io::installStopHandlers();
  // Results go to standard output or --output FILE; standard error keeps the diagnostics.
  zephlor::io::makeStandardOutputBinary();
  std::unique_ptr<OutputFile> file;
  if (!commandLine.output.file.empty()) {
    if (command->verb == Command::Verb::kRun &&
        isSameFile(commandLine.output.file, command->file)) {
      std::cerr << "zephlorctl: --output " << commandLine.output.file
                << " is the script being run; it would be overwritten" << std::endl;
      return kUsage;
    }
    file = std::make_unique<OutputFile>(commandLine.output.file, commandLine.output.append);
  }
  std::ostream fileStream(file.get());
  std::ostream& out = file ? fileStream : std::cout;
  Results results(commandLine.output.format, out, file.get(), commandLine.output.quiet,
                  commandLine.output.localTime);
  results.setColumns(columnsOf(*command));

  Session session;
  session.setResults(results);
  const Outcome opened = session.open(commandLine.connection);
  if (zephlor::io::stopRequested()) return stoppedExitCode();
  if (opened.code != kSuccess) {
    std::cerr << "zephlorctl: " << opened.message << std::endl;
    return opened.code;
  }
  if (file && !file->open()) {
    std::cerr << "zephlorctl: " << file->failure() << std::endl;
    return file->failureCode();
  }
  const ExitCode code = execute(*command, session, out, std::cerr);
  return zephlor::io::stopRequested() ? stoppedExitCode() : code;
}
