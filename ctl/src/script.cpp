// Scripts: commands read from a file or standard input, one per line, run on one session so
// that values written and the driver's level modifier carry from one line to the next.
#include <fstream>
#include <iostream>
#include <sstream>

#include "commands.h"

namespace zephlor::ctl {

ExitCode runScript(const std::string& name, Session& session, std::ostream& out,
                   std::ostream& err) {
  std::ifstream file;
  if (name != "-") {
    file.open(name);
    if (!file) {
      err << "zephlorctl: cannot read script " << name << std::endl;
      return kUsage;
    }
  }
  std::istream& in = name == "-" ? std::cin : file;
  ExitCode result = kSuccess;
  std::string line;
  for (int number = 1; !stopWasRequested() && std::getline(in, line); ++number) {
    const size_t start = line.find_first_not_of(" \t\r");
    if (start == std::string::npos) continue;
    line = line.substr(start, line.find_last_not_of(" \t\r") - start + 1);
    if (line[0] == '#') {
      out << line << std::endl;  // narration, shown as written
      continue;
    }
    const bool expectFailure = line[0] == '!';
    std::istringstream split(expectFailure ? line.substr(1) : line);
    std::vector<std::string> words;
    for (std::string word; split >> word;) words.push_back(word);
    out << "> " << line << std::endl;
    std::string error;
    const std::optional<Command> parsed = parseCommand(words, true, error);
    if (!parsed) {
      err << "zephlorctl: " << name << ":" << number << ": " << error << std::endl;
      result = kUsage;
      continue;
    }
    const ExitCode code = execute(*parsed, session, out, err);
    if (expectFailure && code == kSuccess) {
      err << "zephlorctl: " << name << ":" << number << ": expected to fail, but it "
          << "succeeded" << std::endl;
      result = kScriptExpectationUnmet;
    } else if (expectFailure) {
      out << "  (failed as expected, exit code " << code << ")" << std::endl;
    } else if (code != kSuccess) {
      result = code;
    }
  }
  return result;
}
}  // namespace zephlor::ctl
