// Scripts: commands read from a file or standard input, one per line, run on one session so
// that values written and the driver's level modifier carry from one line to the next.
//
// A script in a file (named, or standard input redirected from one) is read and checked whole
// before its first command runs: a mistake on line 40 must not leave the line half commissioned.
// A script from a pipe or a terminal is written as it goes, by another program (a co-process,
// expect, a flow tool's exec node) or by a person, so each line is checked and run as it arrives;
// a line with a mistake is reported and sends nothing, and the next line goes on.
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <sstream>
#include <string_view>

#include "commands.h"
#include "zephlor_io/console.h"
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

// Reads a script's lines one at a time from a source of bytes, refusing what no script holds:
// NUL bytes, lines longer than kLongestLine, and in a file more than kLargestScript bytes. A file
// is refused at its first such mistake; a stream, which may run for days, has no size limit and
// goes on after the line with the mistake. Memory stays bounded whatever the input is.
class LineReader {
 public:
  // Reads up to `size` bytes into `buffer`: the count, 0 at the end, -1 on an error.
  using Source = std::function<long(char* buffer, size_t size)>;
  enum class Got { kLine, kMistake, kEnd, kFailed };

  enum class Kind { kFile, kStream };

  LineReader(std::string name, Source source, Kind kind)
      : name_(std::move(name)), source_(std::move(source)), kind_(kind) {}

  // The next line, a mistake in one (`error` says which), the end, or a failure to read (`error`
  // says why, unless a stop was requested).
  Got next(ScriptLine& line, std::string& error) {
    std::string text;
    std::string mistake;
    for (;;) {
      if (at_ == filled_ && !refill(error)) {
        if (!error.empty() || io::stopRequested()) return Got::kFailed;
        if (text.empty() && mistake.empty()) return Got::kEnd;
        break;  // a last line without its line end
      }
      const char c = buffer_[at_++];
      if (c == '\n' || (!mistake.empty() && kind_ == Kind::kFile)) break;
      if (!mistake.empty()) continue;
      if (c == '\0') {
        mistake = "a NUL byte; a script is text";
      } else if (text.size() == kLongestLine) {
        mistake = "longer than " + std::to_string(kLongestLine) + " bytes";
      } else {
        text += c;
      }
    }
    line.number = number_++;
    if (!mistake.empty()) {
      error = locationPrefix(name_) + std::to_string(line.number) + ": " + mistake;
      return Got::kMistake;
    }
    // Windows editors start a UTF-8 file with a byte-order mark; it is no part of the first line.
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (line.number == 1 && text.compare(0, kByteOrderMark.size(), kByteOrderMark) == 0) {
      text.erase(0, kByteOrderMark.size());
    }
    const size_t start = text.find_first_not_of(" \t\r");
    line.text = start == std::string::npos
                    ? ""
                    : text.substr(start, text.find_last_not_of(" \t\r") - start + 1);
    return Got::kLine;
  }

 private:
  bool refill(std::string& error) {
    const long got = source_(buffer_, sizeof buffer_);
    if (got < 0 && !io::stopRequested()) {
      error = "zephlorctl: cannot read script " + text::quotedBytes(name_) + ": " +
              std::strerror(errno);
    }
    if (got <= 0) return false;
    total_ += static_cast<size_t>(got);
    if (kind_ == Kind::kFile && total_ > kLargestScript) {
      error = "zephlorctl: script " + text::quotedBytes(name_) + " is larger than " +
              std::to_string(kLargestScript) + " bytes";
      return false;
    }
    at_ = 0;
    filled_ = static_cast<size_t>(got);
    return true;
  }

  std::string name_;
  Source source_;
  Kind kind_;
  size_t total_ = 0;
  int number_ = 1;
  char buffer_[4096];
  size_t at_ = 0;
  size_t filled_ = 0;
};

struct Step {
  ScriptLine line;
  bool narration = false;      // a # line, shown as written
  bool expectFailure = false;  // a ! line
  Command command;
};

// Reads `line` into a step; false after reporting what is wrong with it. Blank lines give none.
bool parseLine(const std::string& name, const ScriptLine& line, Session& session,
               std::optional<Step>& step, std::ostream& err) {
  step.reset();
  if (line.text.empty()) return true;
  Step parsed;
  parsed.line = line;
  parsed.narration = line.text[0] == '#';
  if (!parsed.narration) {
    parsed.expectFailure = line.text[0] == '!';
    std::istringstream split(parsed.expectFailure ? line.text.substr(1) : line.text);
    std::vector<std::string> given;
    for (std::string word; split >> word;) given.push_back(word);
    std::string error;
    CommandOptions options;
    std::vector<std::string> words;
    const std::optional<Command> command = parseCommandOptions(given, options, words, error)
                                               ? parseCommand(words, options, true, error)
                                               : std::nullopt;
    const bool needsSimulator = command && command->verb == Command::Verb::kFault;
    if (needsSimulator && session.simulatorFaults() == nullptr) {
      error = "fault works only with the built-in simulator (--sim)";
    }
    if (!command || (needsSimulator && session.simulatorFaults() == nullptr)) {
      err << locationPrefix(name) << line.number << ": " << error << std::endl;
      return false;
    }
    parsed.command = *command;
  }
  step = std::move(parsed);
  return true;
}

// Runs the scripts' steps, keeping the exit status they give together.
class StepRunner {
 public:
  StepRunner(const std::string& name, Session& session, std::ostream& out, std::ostream& err,
             bool echo)
      : name_(name), session_(session), out_(out), err_(err), echo_(echo) {}

  // Runs `step`; false when the script must end here (its status is then result()).
  bool run(const Step& step) {
    if (io::stopRequested()) return end(stoppedExitCode());
    const std::string shown = text::visibleBytes(step.line.text);
    if (step.narration) {
      if (echo_) out_ << shown << std::endl;
      return true;
    }
    if (echo_) out_ << "> " << shown << std::endl;
    const ExitCode code = execute(step.command, session_, out_, err_);
    if (!out_ || code == kDeviceError || io::stopRequested()) return end(code);
    if (step.expectFailure && code == kSuccess) {
      err_ << locationPrefix(name_) << step.line.number << ": expected to fail, but it succeeded"
           << std::endl;
      result_ = kScriptExpectationUnmet;
    } else if (step.expectFailure && echo_) {
      out_ << "  (failed as expected, exit code " << code << ")" << std::endl;
    } else if (code != kSuccess) {
      result_ = code;
    }
    return true;
  }
  // A line that was not run for a mistake in it.
  void refused() { result_ = kUsage; }
  ExitCode result() const { return result_; }

 private:
  bool end(ExitCode code) {
    result_ = code;
    return false;
  }

  const std::string& name_;
  Session& session_;
  std::ostream& out_;
  std::ostream& err_;
  bool echo_;
  ExitCode result_ = kSuccess;
};

// Machine-readable results hold the records alone, with no echo of the script.
bool echoes(Session& session) { return !session.results().machineReadable(); }

// The columns of `steps`' records, each once, in the order they first come.
std::vector<std::string> columnsOfSteps(const std::vector<Step>& steps) {
  std::vector<std::string> columns;
  for (const Step& step : steps) {
    if (step.narration) continue;
    for (const std::string& column : columnsOf(step.command)) {
      if (std::find(columns.begin(), columns.end(), column) == columns.end()) {
        columns.push_back(column);
      }
    }
  }
  return columns;
}

ExitCode runWholeScript(const std::string& name, LineReader& reader, Session& session,
                        std::ostream& out, std::ostream& err) {
  std::vector<Step> steps;
  bool good = true;
  ScriptLine line;
  std::string error;
  for (LineReader::Got got; (got = reader.next(line, error)) != LineReader::Got::kEnd;) {
    if (got != LineReader::Got::kLine) {
      if (io::stopRequested()) return stoppedExitCode();
      err << error << std::endl;
      return kUsage;
    }
    std::optional<Step> step;
    good = parseLine(name, line, session, step, err) && good;
    if (step) steps.push_back(std::move(*step));
  }
  if (!good) {
    err << "zephlorctl: nothing was sent: the script has mistakes" << std::endl;
    return kUsage;
  }
  // One column for every item the script touches.
  session.results().setColumns(columnsOfSteps(steps));
  StepRunner runner(name, session, out, err, echoes(session));
  for (const Step& step : steps) {
    if (!runner.run(step)) break;
  }
  return runner.result();
}

// From a terminal the person sees what they typed: a prompt on standard error, and no echo.
ExitCode runStreamedScript(const std::string& name, LineReader& reader, bool terminal,
                           Session& session, std::ostream& out, std::ostream& err) {
  StepRunner runner(name, session, out, err, echoes(session) && !terminal);
  ScriptLine line;
  for (;;) {
    if (terminal) err << "zephlorctl> " << std::flush;
    std::string error;
    const LineReader::Got got = reader.next(line, error);
    if (got == LineReader::Got::kEnd) break;
    if (got == LineReader::Got::kFailed) {
      if (io::stopRequested()) return stoppedExitCode();
      err << error << std::endl;
      return kUsage;
    }
    if (got == LineReader::Got::kMistake) {
      err << error << std::endl;
      runner.refused();
      continue;
    }
    std::optional<Step> step;
    if (!parseLine(name, line, session, step, err)) {
      runner.refused();
      continue;
    }
    if (!step) continue;
    // The records' columns are known only line by line: CSV starts a new header whenever they
    // change (setColumns tells).
    if (!step->narration) session.results().setColumns(columnsOf(step->command));
    if (!runner.run(*step)) return runner.result();
  }
  if (terminal) err << std::endl;
  // A console's read may end with no bytes when Ctrl-C is pressed.
  return io::stopRequested() ? stoppedExitCode() : runner.result();
}

}  // namespace

ExitCode runScript(const std::string& name, Session& session, std::ostream& out,
                   std::ostream& err) {
  if (name == "-") {
    const io::InputKind kind = io::standardInputKind();
    LineReader reader(
        name, io::readStandardInput,
        kind == io::InputKind::kFile ? LineReader::Kind::kFile : LineReader::Kind::kStream);
    if (kind == io::InputKind::kFile) return runWholeScript(name, reader, session, out, err);
    return runStreamedScript(name, reader, kind == io::InputKind::kTerminal, session, out, err);
  }
  std::FILE* file = std::fopen(name.c_str(), "rb");
  if (file == nullptr) {
    err << "zephlorctl: cannot read script " << text::quotedBytes(name) << ": "
        << std::strerror(errno) << std::endl;
    return kUsage;
  }
  LineReader reader(
      name,
      [file](char* buffer, size_t size) -> long {
        const size_t got = std::fread(buffer, 1, size, file);
        return got == 0 && std::ferror(file) ? -1 : static_cast<long>(got);
      },
      LineReader::Kind::kFile);
  const ExitCode code = runWholeScript(name, reader, session, out, err);
  std::fclose(file);
  return code;
}

}  // namespace zephlor::ctl
