#include "commands.h"

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <sstream>
#include <thread>

namespace zephlor::ctl {
namespace {

std::atomic<bool> stopRequested{false};

// Values arrive as whole numbers converted to float; show them without an exponent.
std::string formatValue(float value) {
  char text[64];
  if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 1e15f) {
    std::snprintf(text, sizeof text, "%.0f", static_cast<double>(value));
  } else {
    std::snprintf(text, sizeof text, "%.7g", static_cast<double>(value));
  }
  return text;
}

// The five firmware records: major, minor, then the date in the order date2, date1, date3.
std::string formatFirmware(const RSDATA* records) {
  return "version " + formatValue(records[0].value) + "." + formatValue(records[1].value) +
         ", date " + formatValue(records[3].value) + "/" + formatValue(records[2].value) + "/" +
         formatValue(records[4].value);
}

std::string timestampNow() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto millis =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm utc{};
  gmtime_r(&seconds, &utc);
  char text[40];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
  char withMillis[48];
  std::snprintf(withMillis, sizeof withMillis, "%s.%03lldZ", text, static_cast<long long>(millis));
  return withMillis;
}

// Reads an item and returns its value text, or explains the failure.
Outcome readItem(Session& session, const Item& item, std::string& shown) {
  RSDATA records[5] = {};  // a firmware read fills five
  const Outcome outcome = session.transact(item, records);
  if (outcome.code == kSuccess) {
    shown = item.kind->kind == ItemKind::Firmware ? formatFirmware(records)
                                                  : formatValue(records[0].value);
  }
  return outcome;
}

ExitCode report(const Outcome& outcome, std::ostream& err) {
  if (outcome.code != kSuccess) err << "zephlorctl: " << outcome.message << std::endl;
  return outcome.code;
}

ExitCode runInfo(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  char name[16] = {};
  int prepareCode = 0;
  int unused = 0;
  session.driver().prepare(0, name, prepareCode, unused);
  out << "driver: " << name << std::endl;
  std::string firmware;
  const Outcome outcome = readItem(session, command.items[0], firmware);
  if (outcome.code == kSuccess) out << "firmware: " << firmware << std::endl;
  return report(outcome, err);
}

ExitCode runRead(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  std::string shown;
  const Outcome outcome = readItem(session, command.items[0], shown);
  if (outcome.code == kSuccess) out << command.items[0].describe() << ": " << shown << std::endl;
  return report(outcome, err);
}

ExitCode runWrite(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  RSDATA record{};
  record.direction = 1;
  std::string written;
  if (command.unsigned16) {
    record.valueType = kValueTypeUnsigned16;
    const unsigned char bytes[2] = {static_cast<unsigned char>(*command.unsigned16 & 0xFF),
                                    static_cast<unsigned char>(*command.unsigned16 >> 8)};
    std::memcpy(&record.value, bytes, sizeof bytes);
    written = std::to_string(*command.unsigned16);
  } else {
    record.value = command.value;
    written = formatValue(command.value);
  }
  const Outcome outcome = session.transact(command.items[0], &record);
  if (outcome.code == kSuccess) {
    out << command.items[0].describe() << ": wrote " << written << ", confirmed" << std::endl;
  }
  return report(outcome, err);
}

ExitCode runPoll(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  ExitCode lastFailure = kSuccess;
  for (long long sample = 0; command.count == 0 || sample < command.count; ++sample) {
    if (sample > 0) {
      // Sleep in small steps so an interrupt ends the poll promptly.
      const auto wakeUp = std::chrono::steady_clock::now() + command.interval;
      while (!stopRequested && std::chrono::steady_clock::now() < wakeUp) {
        std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
            std::chrono::milliseconds(50), wakeUp - std::chrono::steady_clock::now()));
      }
    }
    if (stopRequested) break;
    std::string line = timestampNow();
    for (const Item& item : command.items) {
      std::string shown;
      const Outcome outcome = readItem(session, item, shown);
      line += "  " + item.describe() + "=" + (outcome.code == kSuccess ? shown : "?");
      if (outcome.code != kSuccess) {
        report(outcome, err);
        lastFailure = outcome.code;
      }
    }
    out << line << std::endl;
  }
  return lastFailure;
}

ExitCode runFault(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  sim::FaultInjector* faults = session.simulatorFaults();
  if (faults == nullptr) {
    err << "zephlorctl: fault works only with the built-in simulator (--sim)" << std::endl;
    return kUsage;
  }
  sim::FaultPlan plan = faults->plan();
  plan.probability = {};
  for (const std::string& setting : command.faults) sim::addFault(plan, setting);
  faults->setPlan(plan);
  out << "simulator faults: " << (command.faults.empty() ? "none" : "");
  for (size_t i = 0; i < command.faults.size(); ++i) {
    out << (i == 0 ? "" : ", ") << command.faults[i];
  }
  out << std::endl;
  return kSuccess;
}

ExitCode runScript(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  std::ifstream file;
  if (command.file != "-") {
    file.open(command.file);
    if (!file) {
      err << "zephlorctl: cannot read script " << command.file << std::endl;
      return kUsage;
    }
  }
  std::istream& in = command.file == "-" ? std::cin : file;
  ExitCode result = kSuccess;
  std::string line;
  for (int number = 1; !stopRequested && std::getline(in, line); ++number) {
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
      err << "zephlorctl: " << command.file << ":" << number << ": " << error << std::endl;
      result = kUsage;
      continue;
    }
    const ExitCode code = execute(*parsed, session, out, err);
    if (expectFailure && code == kSuccess) {
      err << "zephlorctl: " << command.file << ":" << number << ": expected to fail, but it "
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

bool takeMilliseconds(const std::vector<std::string>& words, size_t& at, const char* option,
                      long long low, long long& out, std::string& error) {
  if (at + 1 >= words.size() || !parseBounded(words[at + 1], low, 86400000, out)) {
    error =
        std::string(option) + " takes milliseconds from " + std::to_string(low) + " to 86400000";
    return false;
  }
  ++at;
  return true;
}

}  // namespace

void requestStop() { stopRequested = true; }

std::optional<Command> parseCommand(const std::vector<std::string>& words, bool inScript,
                                    std::string& error) {
  if (words.empty()) {
    error = "no command given (info, read, write, poll or run)";
    return std::nullopt;
  }
  Command command;
  const std::string& verb = words[0];
  size_t at = 1;
  const auto finished = [&]() -> std::optional<Command> {
    if (at < words.size()) {
      error = "unexpected \"" + words[at] + "\" after the " + verb + " command";
      return std::nullopt;
    }
    return command;
  };

  if (verb == "info") {
    command.verb = Command::Verb::kInfo;
    std::vector<std::string> firmware = {"firmware", at < words.size() ? words[at] : "0"};
    size_t itemAt = 0;
    const std::optional<Item> item = parseItem(firmware, itemAt, error);
    if (!item) return std::nullopt;
    command.items.push_back(*item);
    if (at < words.size()) ++at;
    return finished();
  }
  if (verb == "read" || verb == "write") {
    command.verb = verb == "read" ? Command::Verb::kRead : Command::Verb::kWrite;
    const std::optional<Item> item = parseItem(words, at, error);
    if (!item) return std::nullopt;
    if (verb == "read" && !item->kind->readable) {
      error = std::string(item->kind->name) + " items cannot be read, only written";
      return std::nullopt;
    }
    if (verb == "write" && !item->kind->writable) {
      error = std::string(item->kind->name) + " items cannot be written, only read";
      return std::nullopt;
    }
    command.items.push_back(*item);
    if (verb == "read") return finished();

    bool asUnsigned16 = false;
    std::optional<std::string> valueText;
    for (; at < words.size(); ++at) {
      if (words[at] == "--u16") {
        asUnsigned16 = true;
      } else if (!valueText) {
        valueText = words[at];
      } else {
        return finished();
      }
    }
    if (!valueText) {
      error = "write needs a value after the item";
      return std::nullopt;
    }
    if (asUnsigned16) {
      long long number = 0;
      if (!parseBounded(*valueText, 0, 65535, number)) {
        error = "with --u16 the value must be a whole number from 0 to 65535";
        return std::nullopt;
      }
      command.unsigned16 = static_cast<uint16_t>(number);
    } else {
      char* end = nullptr;
      command.value = std::strtof(valueText->c_str(), &end);
      if (valueText->empty() || *end != '\0') {
        error = "the value \"" + *valueText + "\" is not a number";
        return std::nullopt;
      }
    }
    return command;
  }
  if (verb == "poll") {
    command.verb = Command::Verb::kPoll;
    while (at < words.size()) {
      long long number = 0;
      if (words[at] == "--interval") {
        if (!takeMilliseconds(words, at, "--interval", 0, number, error)) return std::nullopt;
        command.interval = std::chrono::milliseconds(number);
        ++at;
      } else if (words[at] == "--count") {
        if (at + 1 >= words.size() || !parseBounded(words[at + 1], 1, 1000000000, number)) {
          error = "--count takes a number of samples from 1 to 1000000000";
          return std::nullopt;
        }
        command.count = number;
        at += 2;
      } else {
        const std::optional<Item> item = parseItem(words, at, error);
        if (!item) return std::nullopt;
        if (!item->kind->readable) {
          error = std::string(item->kind->name) + " items cannot be read, only written";
          return std::nullopt;
        }
        command.items.push_back(*item);
      }
    }
    if (command.items.empty()) {
      error = "poll needs at least one item";
      return std::nullopt;
    }
    return command;
  }
  if (verb == "run" && !inScript) {
    command.verb = Command::Verb::kRun;
    if (at >= words.size()) {
      error = "run needs a script file, or - for standard input";
      return std::nullopt;
    }
    command.file = words[at++];
    return finished();
  }
  if (verb == "fault" && inScript) {
    command.verb = Command::Verb::kFault;
    for (; at < words.size(); ++at) {
      sim::FaultPlan check;
      if (words[at] == "none") continue;
      if (!sim::addFault(check, words[at])) {
        error =
            "fault takes none, or KIND or KIND:P with P from 0 to 1; KIND is one of drop, "
            "garble, delay, wrong-address, wrong-value, split";
        return std::nullopt;
      }
      command.faults.push_back(words[at]);
    }
    return command;
  }
  if (verb == "sleep" && inScript) {
    command.verb = Command::Verb::kSleep;
    long long number = 0;
    if (at >= words.size() || !parseBounded(words[at], 0, 86400000, number)) {
      error = "sleep takes milliseconds from 0 to 86400000";
      return std::nullopt;
    }
    command.interval = std::chrono::milliseconds(number);
    ++at;
    return finished();
  }
  error = "unknown command \"" + verb + "\"" +
          (inScript ? " (a script takes info, read, write, poll, fault and sleep)"
                    : " (try info, read, write, poll or run)");
  return std::nullopt;
}

ExitCode execute(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  switch (command.verb) {
    case Command::Verb::kInfo:
      return runInfo(command, session, out, err);
    case Command::Verb::kRead:
      return runRead(command, session, out, err);
    case Command::Verb::kWrite:
      return runWrite(command, session, out, err);
    case Command::Verb::kPoll:
      return runPoll(command, session, out, err);
    case Command::Verb::kRun:
      return runScript(command, session, out, err);
    case Command::Verb::kFault:
      return runFault(command, session, out, err);
    case Command::Verb::kSleep:
      std::this_thread::sleep_for(command.interval);
      return kSuccess;
  }
  return kUsage;
}

}  // namespace zephlor::ctl
