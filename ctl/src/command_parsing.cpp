// Reading zephlorctl's commands from their words: one small reader per verb, chosen from a table
// that also says where each verb may be used.
#include <cmath>
#include <cstdlib>

#include "commands.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl {
namespace {

constexpr long long kLongestWaitMilliseconds = 86400000;  // a day

// The words after the verb, read front to back. Every reader that fails says why in `error`.
class Words {
 public:
  Words(const std::vector<std::string>& words, std::string& error) : words_(words), error_(error) {}

  bool done() const { return at_ >= words_.size(); }
  const std::string& next() const { return words_[at_]; }
  std::string take() { return words_[at_++]; }

  bool fail(std::string message) {
    error_ = std::move(message);
    return false;
  }

  // A whole number from `low` to `high`; `what` names it in the failure.
  bool takeNumber(long long low, long long high, long long& out, const std::string& what) {
    if (done() || !parseBounded(next(), low, high, out)) {
      return fail(what + " takes a whole number from " + std::to_string(low) + " to " +
                  std::to_string(high));
    }
    ++at_;
    return true;
  }

  // An item of a kind that can be read (or, with `forWrite`, written).
  bool takeItem(bool forWrite, Item& item) {
    std::optional<Item> parsed = parseItem(words_, at_, error_);
    if (!parsed) return false;
    if (!forWrite && !parsed->kind->readable) {
      return fail(std::string(parsed->kind->name) + " items cannot be read, only written");
    }
    if (forWrite && !parsed->kind->writable) {
      return fail(std::string(parsed->kind->name) + " items cannot be written, only read");
    }
    item = *parsed;
    return true;
  }

  // Fails if words are left over.
  bool finish(const std::string& verb) {
    return done() ||
           fail("unexpected " + text::quotedBytes(next()) + " after the " + verb + " command");
  }

 private:
  const std::vector<std::string>& words_;
  std::string& error_;
  size_t at_ = 1;  // past the verb
};

bool readInfo(Words& words, Command& command) {
  // The firmware item to ask, by its address number.
  std::vector<std::string> firmware = {"firmware", words.done() ? "0" : words.take()};
  size_t at = 0;
  std::string error;
  const std::optional<Item> item = parseItem(firmware, at, error);
  if (!item) return words.fail(error);
  command.items.push_back(*item);
  return words.finish("info");
}

bool readRead(Words& words, Command& command) {
  Item item;
  if (!words.takeItem(false, item)) return false;
  command.items.push_back(item);
  return words.finish("read");
}

bool readWrite(Words& words, Command& command) {
  Item item;
  if (!words.takeItem(true, item)) return false;
  command.items.push_back(item);
  std::optional<std::string> value;
  bool asUnsigned16 = false;
  while (!words.done()) {
    if (words.next() == "--u16") {
      asUnsigned16 = true;
      words.take();
    } else if (!value) {
      value = words.take();
    } else {
      return words.finish("write");
    }
  }
  if (!value) return words.fail("write needs a value after the item");
  command.valueText = *value;
  if (asUnsigned16) {
    long long number = 0;
    if (!parseBounded(*value, 0, 65535, number)) {
      return words.fail("with --u16 the value must be a whole number from 0 to 65535");
    }
    command.unsigned16 = static_cast<uint16_t>(number);
    return true;
  }
  char* end = nullptr;
  command.value = std::strtof(value->c_str(), &end);
  if (value->empty() || *end != '\0') {
    return words.fail("the value " + text::quotedBytes(*value) + " is not a number");
  }
  // The line carries the value truncated to a signed 32-bit number; beyond that (and for NaN and
  // the infinities) the driver would send a wrapped or zero value nobody asked for.
  const double whole = std::trunc(static_cast<double>(command.value));
  if (!std::isfinite(whole) || whole < -2147483648.0 || whole >= 2147483648.0) {
    return words.fail("the value " + text::quotedBytes(*value) +
                      " is outside what the line carries (whole numbers from -2147483648 to "
                      "2147483647 after truncation)");
  }
  return true;
}

bool readPoll(Words& words, Command& command) {
  while (!words.done()) {
    long long number = 0;
    if (words.next() == "--interval") {
      words.take();
      if (!words.takeNumber(0, kLongestWaitMilliseconds, number, "--interval")) return false;
      command.interval = std::chrono::milliseconds(number);
    } else if (words.next() == "--count") {
      words.take();
      if (!words.takeNumber(1, 1000000000, number, "--count")) return false;
      command.count = number;
    } else {
      Item item;
      if (!words.takeItem(false, item)) return false;
      command.items.push_back(item);
    }
  }
  return !command.items.empty() || words.fail("poll needs at least one item");
}

bool readRun(Words& words, Command& command) {
  if (words.done()) return words.fail("run needs a script file, or - for standard input");
  command.file = words.take();
  return words.finish("run");
}

bool readFault(Words& words, Command& command) {
  while (!words.done()) {
    const std::string setting = words.take();
    sim::FaultPlan check;
    if (setting == "none") continue;
    if (!sim::addFault(check, setting)) {
      return words.fail("fault takes none, or " + sim::faultSettingForm());
    }
    command.faults.push_back(setting);
  }
  return true;
}

bool readSleep(Words& words, Command& command) {
  long long number = 0;
  if (!words.takeNumber(0, kLongestWaitMilliseconds, number, "sleep")) return false;
  command.interval = std::chrono::milliseconds(number);
  return words.finish("sleep");
}

bool readListPorts(Words& words, Command& command) {
  while (!words.done()) command.paths.push_back(words.take());
  return true;
}

enum class Where { kAnywhere, kCommandLineOnly, kScriptOnly };

struct VerbReader {
  const char* verb;
  Command::Verb kind;
  Where where;
  bool (*read)(Words&, Command&);
};

const VerbReader kVerbs[] = {
    {"info", Command::Verb::kInfo, Where::kAnywhere, readInfo},
    {"read", Command::Verb::kRead, Where::kAnywhere, readRead},
    {"write", Command::Verb::kWrite, Where::kAnywhere, readWrite},
    {"poll", Command::Verb::kPoll, Where::kAnywhere, readPoll},
    {"run", Command::Verb::kRun, Where::kCommandLineOnly, readRun},
    {"list-ports", Command::Verb::kListPorts, Where::kCommandLineOnly, readListPorts},
    {"fault", Command::Verb::kFault, Where::kScriptOnly, readFault},
    {"sleep", Command::Verb::kSleep, Where::kScriptOnly, readSleep},
};

}  // namespace

std::optional<Command> parseCommand(const std::vector<std::string>& words, bool inScript,
                                    std::string& error) {
  if (words.empty()) {
    error = "no command given (info, read, write, poll, run or list-ports)";
    return std::nullopt;
  }
  for (const VerbReader& verb : kVerbs) {
    const bool allowed =
        verb.where == Where::kAnywhere || (verb.where == Where::kScriptOnly) == inScript;
    if (words[0] != verb.verb || !allowed) continue;
    Command command;
    command.verb = verb.kind;
    Words reader(words, error);
    if (!verb.read(reader, command)) return std::nullopt;
    return command;
  }
  if (inScript && words[0] == "run") {
    error = "run cannot be used inside a script";
    return std::nullopt;
  }
  error = "unknown command " + text::quotedBytes(words[0]) +
          (inScript ? " (a script takes info, read, write, poll, fault and sleep)"
                    : " (try info, read, write, poll, run or list-ports)");
  return std::nullopt;
}

}  // namespace zephlor::ctl
