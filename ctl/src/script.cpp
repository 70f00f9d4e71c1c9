// Scripts: commands read from a file or standard input, one per line, run on one session so
// that values written and the driver's level modifier carry from one line to the next. The
// whole script is read and checked before its first command runs: a mistake on line 40 must not
// leave the line half commissioned.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string_view>

#include "commands.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl {
namespace {

// Where a message about a script's line points, as GNU tools write it: "zephlorctl:FILE:"
// (the line number follows), the file's name with its control characters escaped, unquoted.
std::string locationPrefix(const std::string& name) {
  return "zephlorctl:" + text::visibleBytes(name) + ":";
}

constexpr size_t kLongestLine = 4096;
constexpr size_t kLargestScript = 4 * 1024 * 1024;

struct ScriptLine {
  int number = 0;
  std::string text;  // without surrounding blanks
};

// Reads the script's lines, refusing what no script holds: NUL bytes, lines longer than
// kLongestLine, more than kLargestScript bytes. Memory stays bounded whatever the file is.
bool readLines(const std::string& name, std::vector<ScriptLine>& lines, std::string& error) {
  const bool fromStandardInput = name == "-";
  std::FILE* file = fromStandardInput ? stdin : std::fopen(name.c_str(), "rb");
  if (file == nullptr) {
    error =
        "zephlorctl: cannot read script " + text::quotedBytes(name) + ": " + std::strerror(errno);
    return false;
  }
  const std::string where = locationPrefix(name);
  std::string line;
  size_t total = 0;
  int number = 1;
  bool good = true;
  for (int c; good && (c = std::getc(file)) != EOF;) {
    if (++total > kLargestScript) {
      error = "zephlorctl: script " + text::quotedBytes(name) + " is larger than " +
              std::to_string(kLargestScript) + " bytes";
      good = false;
    } else if (c == '\0') {
      error = where + std::to_string(number) + ": a NUL byte; a script is text";
      good = false;
    } else if (c == '\n') {
      lines.push_back({number++, line});
      line.clear();
    } else if (line.size() == kLongestLine) {
      error = where + std::to_string(number) + ": longer than " + std::to_string(kLongestLine) +
              " bytes";
      good = false;
    } else {
      line += static_cast<char>(c);
    }
  }
  if (good && std::ferror(file)) {
    error =
        "zephlorctl: cannot read script " + text::quotedBytes(name) + ": " + std::strerror(errno);
    good = false;
  }
  if (good && !line.empty()) lines.push_back({number, line});
  if (!fromStandardInput) std::fclose(file);
  // Windows editors start a UTF-8 file with a byte-order mark; it is no part of the first line.
  constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
  if (!lines.empty() && lines.front().text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
    lines.front().text.erase(0, kByteOrderMark.size());
  }
  for (ScriptLine& each : lines) {
    const size_t start = each.text.find_first_not_of(" \t\r");
    each.text = start == std::string::npos
                    ? ""
                    : each.text.substr(start, each.text.find_last_not_of(" \t\r") - start + 1);
  }
  return good;
}

struct Step {
  const ScriptLine* line = nullptr;
  bool narration = false;      // a # line, shown as written
  bool expectFailure = false;  // a ! line
  Command command;
};

// Every line parsed; false after reporting each line that is wrong.
bool checkLines(const std::string& name, const std::vector<ScriptLine>& lines, Session& session,
                std::vector<Step>& steps, std::ostream& err) {
  bool good = true;
  for (const ScriptLine& line : lines) {
    if (line.text.empty()) continue;
    Step step;
    step.line = &line;
    step.narration = line.text[0] == '#';
    if (!step.narration) {
      step.expectFailure = line.text[0] == '!';
      std::istringstream split(step.expectFailure ? line.text.substr(1) : line.text);
      std::vector<std::string> given;
      for (std::string word; split >> word;) given.push_back(word);
      std::string error;
      CommandOptions options;
      std::vector<std::string> words;
      const std::optional<Command> parsed = parseCommandOptions(given, options, words, error)
                                                ? parseCommand(words, options, true, error)
                                                : std::nullopt;
      const bool needsSimulator = parsed && parsed->verb == Command::Verb::kFault;
      if (needsSimulator && session.simulatorFaults() == nullptr) {
        error = "fault works only with the built-in simulator (--sim)";
      }
      if (!parsed || (needsSimulator && session.simulatorFaults() == nullptr)) {
        err << locationPrefix(name) << line.number << ": " << error << std::endl;
        good = false;
        continue;
      }
      step.command = *parsed;
    }
    steps.push_back(std::move(step));
  }
  return good;
}

}  // namespace

ExitCode runScript(const std::string& name, Session& session, std::ostream& out,
                   std::ostream& err) {
  std::vector<ScriptLine> lines;
  std::vector<Step> steps;
  std::string error;
  if (!readLines(name, lines, error)) {
    err << error << std::endl;
    return kUsage;
  }
  if (!checkLines(name, lines, session, steps, err)) {
    err << "zephlorctl: nothing was sent: the script has mistakes" << std::endl;
    return kUsage;
  }

  // Machine-readable results hold the records alone: one column for every item the script
  // touches, and no echo of the script.
  const bool echo = !session.results().machineReadable();
  std::vector<std::string> columns;
  for (const Step& step : steps) {
    for (const std::string& column : columnsOf(step.command)) {
      if (!step.narration && std::find(columns.begin(), columns.end(), column) == columns.end()) {
        columns.push_back(column);
      }
    }
  }
  session.results().setColumns(columns);

  ExitCode result = kSuccess;
  for (const Step& step : steps) {
    if (io::stopRequested()) return stoppedExitCode();
    const std::string shown = text::visibleBytes(step.line->text);
    if (step.narration) {
      if (echo) out << shown << std::endl;
      continue;
    }
    if (echo) out << "> " << shown << std::endl;
    const ExitCode code = execute(step.command, session, out, err);
    if (!out || code == kDeviceError || io::stopRequested()) return code;
    if (step.expectFailure && code == kSuccess) {
      err << locationPrefix(name) << step.line->number << ": expected to fail, but it succeeded"
          << std::endl;
      result = kScriptExpectationUnmet;
    } else if (step.expectFailure && echo) {
      out << "  (failed as expected, exit code " << code << ")" << std::endl;
    } else if (code != kSuccess) {
      result = code;
    }
  }
  return result;
}

}  // namespace zephlor::ctl
