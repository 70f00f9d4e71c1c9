// Running zephlorctl's commands on a session: the transactions, what they print, and how their
// outcome becomes the exit status.
#include <cstring>

#include <iostream>

#include "help.h"
#include "item_readings.h"
#include "verb_steps.h"
#include "verbs.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl {
namespace steps {

ExitCode runInfo(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  char name[16] = {};
  int prepareCode = 0;
  int unused = 0;
  session.driver().prepare(0, name, prepareCode, unused);
  const std::string driver = text::visibleBytes(name);
  Value firmware;
  const Outcome outcome = readItem(session, command.items[0], firmware);
  if (session.results().machineReadable()) {
    session.results().record({{"driver", {driver, std::nullopt, {}}, "", "", ""},
                              readingOf(command.items[0], outcome, firmware)});
  } else {
    const bool quiet = session.results().quiet();
    out << (quiet ? "" : "driver: ") << driver << std::endl;
    if (outcome.code == kSuccess) out << (quiet ? "" : "firmware: ") << firmware.text << std::endl;
  }
  return report(outcome, err);
}

ExitCode runRead(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  Value shown;
  const Outcome outcome = readItem(session, command.items[0], shown);
  if (session.results().machineReadable()) {
    session.results().record({readingOf(command.items[0], outcome, shown)});
  } else if (outcome.code == kSuccess) {
    out << (session.results().quiet() ? "" : command.items[0].describe() + ": ") << shown.text
        << std::endl;
  }
  return report(outcome, err);
}

// Reports what the controller was sent (or, for the modifier, what the driver now holds), which
// is not always what was given: 8-bit items carry the low 8 bits of the truncated value.
ExitCode runWrite(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  const Item& item = command.items[0];
  RSDATA record{};
  if (command.unsigned16) {
    record.valueType = kValueTypeUnsigned16;
    const unsigned char bytes[2] = {static_cast<unsigned char>(*command.unsigned16 & 0xFF),
                                    static_cast<unsigned char>(*command.unsigned16 >> 8)};
    std::memcpy(&record.value, bytes, sizeof bytes);
  } else {
    record.value = command.value;
  }
  Outcome outcome = session.write(item, record);
  Value written;
  if (const std::optional<int64_t> sent = outcome.reading.sentValue) {
    written = {std::to_string(*sent), static_cast<double>(*sent), {}};
  }
  if (outcome.code == kSuccess && item.kind->kind == ItemKind::Modifier) {
    outcome = readItem(session, item, written);
  }
  if (session.results().machineReadable()) {
    session.results().record({readingOf(item, outcome, written)});
  } else if (outcome.code == kSuccess && session.results().quiet()) {
    out << written.text << std::endl;
  } else if (outcome.code == kSuccess) {
    const bool modifier = item.kind->kind == ItemKind::Modifier;
    out << item.describe() << ": " << (modifier ? "kept " : "wrote ") << written.text;
    if (written.text != command.valueText) {
      out << " (given " << text::visibleBytes(command.valueText) << ")";
    }
    out << (modifier ? "" : ", confirmed") << std::endl;
  }
  return report(outcome, err);
}

}  // namespace steps

namespace steps {

ExitCode runFault(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  sim::FaultInjector* faults = session.simulatorFaults();
  if (faults == nullptr) {
    err << "zephlorctl: fault works only with the built-in simulator (--sim)" << std::endl;
    return kUsage;
  }
  sim::FaultPlan plan = faults->plan();
  plan.probability = command.faultPlan.probability;
  faults->setPlan(plan);
  // A note for the person watching, never a record among the results.
  std::ostream& note = session.results().machineReadable() ? err : out;
  note << "simulator faults: " << (command.faults.empty() ? "none" : "");
  for (size_t i = 0; i < command.faults.size(); ++i) {
    note << (i == 0 ? "" : ", ") << command.faults[i];
  }
  note << std::endl;
  return kSuccess;
}

ExitCode runSleep(const Command& command, Session&, std::ostream&, std::ostream&) {
  return io::sleepUntil(std::chrono::steady_clock::now() + command.interval) ? kSuccess
                                                                             : stoppedExitCode();
}

ExitCode runRun(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  return runScript(command.file, session, out, err);
}

ExitCode showHelp(const Command& command, std::ostream& out) {
  if (command.file.empty()) {
    out << helpText();
  } else {
    std::string error;
    const std::string help = topicHelp(command.file, error);
    if (help.empty()) {
      std::cerr << "zephlorctl: " << error << std::endl;
      return kUsage;
    }
    out << help;
  }
  return out.flush() ? kSuccess : kOutputFailed;
}

}  // namespace steps

namespace {

// Port names as the system spells them (Windows' have backslashes), control characters escaped.
std::string portText(const std::string& text) {
  std::string shown;
  for (char c : text)
    shown += c == '\\' ? std::string(1, c) : text::visibleBytes(std::string(1, c));
  return shown;
}

}  // namespace

std::vector<std::string> columnsOf(const Command& command) {
  std::vector<std::string> columns;
  if (command.verb == Command::Verb::kInfo) columns.push_back("driver");
  for (const Item& item : command.items) columns.push_back(item.describe());
  return columns;
}

namespace steps {

ExitCode listPorts(const Command& command, std::ostream& out) {
  std::vector<io::PortInfo> ports = io::listSerialPorts();
  for (const std::string& path : command.paths) {
    ports.push_back({path, "named on the command line"});
  }
  for (const io::PortInfo& port : ports) {
    out << portText(port.name);
    if (!port.description.empty()) out << "  " << portText(port.description);
    out << "\n";
  }
  if (ports.empty()) out << "no serial ports found\n";
  out << "(a device server on the network: tcp:HOST:PORT for its raw TCP port, "
         "rfc2217:HOST:PORT for its telnet port)\n";
  return out.flush() ? kSuccess : kOutputFailed;
}

}  // namespace steps

}  // namespace zephlor::ctl
