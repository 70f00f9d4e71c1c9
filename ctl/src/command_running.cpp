// Running zephlorctl's commands on a session: the transactions, what they print, and how their
// outcome becomes the exit status.
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <sstream>

#include "commands.h"
#include "zephlor_host/visible_bytes.h"
#include "zephlor_serial/serial_port.h"
#include "zephlor_serial/stop_request.h"

namespace zephlor::ctl {
namespace {

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
  const std::tm utc = *std::gmtime(&seconds);  // the tools run on one thread
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

// The value field of a set request line: the number after the item's address numbers.
std::string valueOnTheLine(const std::string& request, int addressCount) {
  std::istringstream fields(request.substr(request.find('#') + 1));
  std::string field;
  for (int i = 0; i <= addressCount && fields >> field; ++i) {
  }
  return field;
}

ExitCode runInfo(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  char name[16] = {};
  int prepareCode = 0;
  int unused = 0;
  session.driver().prepare(0, name, prepareCode, unused);
  out << "driver: " << host::visibleBytes(name) << std::endl;
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

// Reports what the controller was sent (or, for the modifier, what the driver now holds), which
// is not always what was given: 8-bit items carry the low 8 bits of the truncated value.
ExitCode runWrite(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  const Item& item = command.items[0];
  RSDATA record{};
  record.direction = 1;
  if (command.unsigned16) {
    record.valueType = kValueTypeUnsigned16;
    const unsigned char bytes[2] = {static_cast<unsigned char>(*command.unsigned16 & 0xFF),
                                    static_cast<unsigned char>(*command.unsigned16 >> 8)};
    std::memcpy(&record.value, bytes, sizeof bytes);
  } else {
    record.value = command.value;
  }
  const Outcome outcome = session.transact(item, &record);
  if (outcome.code != kSuccess) return report(outcome, err);

  std::string verdict = "wrote ";
  std::string written = valueOnTheLine(outcome.request, item.kind->addressCount);
  if (item.kind->kind == ItemKind::Modifier) {
    const Outcome kept = readItem(session, item, written);
    if (kept.code != kSuccess) return report(kept, err);
    verdict = "kept ";
  }
  out << item.describe() << ": " << verdict << written;
  if (written != command.valueText)
    out << " (given " << host::visibleBytes(command.valueText) << ")";
  out << (item.kind->kind == ItemKind::Modifier ? "" : ", confirmed") << std::endl;
  return kSuccess;
}

// Samples at the interval until the count is reached or a stop is requested. A failed line ends
// it: every further sample would fail the same way.
ExitCode runPoll(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  ExitCode lastFailure = kSuccess;
  for (long long sample = 0; command.count == 0 || sample < command.count; ++sample) {
    if (sample > 0 && !serial::sleepUntil(std::chrono::steady_clock::now() + command.interval)) {
      break;
    }
    std::string line = timestampNow();
    for (const Item& item : command.items) {
      std::string shown;
      const Outcome outcome = readItem(session, item, shown);
      if (serial::stopRequested()) return stoppedExitCode();
      line += "  " + item.describe() + "=" + (outcome.code == kSuccess ? shown : "?");
      if (outcome.code != kSuccess) lastFailure = report(outcome, err);
      if (outcome.code == kDeviceError) return kDeviceError;
    }
    out << line << std::endl;
    if (!out) return kOutputFailed;
  }
  return serial::stopRequested() ? stoppedExitCode() : lastFailure;
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

ExitCode runSleep(const Command& command, Session&, std::ostream&, std::ostream&) {
  return serial::sleepUntil(std::chrono::steady_clock::now() + command.interval)
             ? kSuccess
             : stoppedExitCode();
}

ExitCode dispatch(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
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
      return runScript(command.file, session, out, err);
    case Command::Verb::kFault:
      return runFault(command, session, out, err);
    case Command::Verb::kSleep:
      return runSleep(command, session, out, err);
    case Command::Verb::kListPorts:
      return listPorts(command, out);
  }
  return kUsage;
}

// Port names as the system spells them (Windows' have backslashes), control characters escaped.
std::string portText(const std::string& text) {
  std::string shown;
  for (char c : text)
    shown += c == '\\' ? std::string(1, c) : host::visibleBytes(std::string(1, c));
  return shown;
}

}  // namespace

ExitCode listPorts(const Command& command, std::ostream& out) {
  std::vector<serial::PortInfo> ports = serial::listSerialPorts();
  for (const std::string& path : command.paths) {
    ports.push_back({path, "named on the command line"});
  }
  for (const serial::PortInfo& port : ports) {
    out << portText(port.name);
    if (!port.description.empty()) out << "  " << portText(port.description);
    out << "\n";
  }
  if (ports.empty()) out << "no serial ports found\n";
  return out.flush() ? kSuccess : kOutputFailed;
}

// Results nobody can read must not keep the line busy: a closed pipe or a full disk ends the
// command at once.
ExitCode execute(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  const ExitCode code = dispatch(command, session, out, err);
  if (out.flush().fail() && command.verb != Command::Verb::kRun) {
    err << "zephlorctl: cannot write the results: standard output is closed or full" << std::endl;
    return kOutputFailed;
  }
  return code;
}

}  // namespace zephlor::ctl
