// Running zephlorctl's commands on a session: the transactions, what they print, and how their
// outcome becomes the exit status.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <map>

#include "help.h"
#include "verb_steps.h"
#include "zephlor_host/reply_times.h"
#include "zephlor_io/console.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_text/timestamp.h"
#include "zephlor_text/visible_bytes.h"

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

// The firmware's text as the controller writes the date (A/B/C: month, day and year in two
// digits); for JSON the parts, and the date as a calendar date.
Value firmwareValue(const line::FirmwareParts& parts) {
  const std::string version = line::versionOf(parts);
  Value value{"version " + version + ", date " + formatValue(parts.month) + "/" +
                  formatValue(parts.day) + "/" + formatValue(parts.year),
              std::nullopt,
              {}};
  value.fields = {{"version", version},
                  {"major", static_cast<double>(parts.major)},
                  {"minor", static_cast<double>(parts.minor)},
                  {"date", line::calendarDateOf(parts)}};
  return value;
}

// Reads an item and returns its value, or explains the failure.
Outcome readItem(Session& session, const Item& item, Value& value) {
  const Outcome outcome = session.read(item);
  if (outcome.code != kSuccess) return outcome;
  const line::Reading& reading = outcome.reading;
  if (reading.firmware) {
    value = firmwareValue(*reading.firmware);
  } else {
    value = {formatValue(reading.value), static_cast<double>(reading.value), {}};
  }
  return outcome;
}

// Tells a failure, and what --lenient let through, on standard error.
ExitCode report(const Outcome& outcome, std::ostream& err) {
  if (!outcome.warning.empty()) err << "zephlorctl: warning: " << outcome.warning << std::endl;
  if (outcome.code != kSuccess) err << "zephlorctl: " << outcome.message << std::endl;
  return outcome.code;
}

// A reading for the machine-readable results: the value, or what failed, and any warning.
Reading readingOf(const Item& item, const Outcome& outcome, const Value& value) {
  return {item.describe(), outcome.code == kSuccess ? value : Value{}, outcome.message,
          outcome.warning};
}

}  // namespace

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
    session.results().record({{"driver", {driver, std::nullopt, {}}, "", ""},
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

namespace {

// While a poll writes its records to a file, a line on the terminal tells how it goes: samples,
// failed reads, the last reply time. Redrawn at most 4 times a second, cleared at the end and
// before any other message; never shown when standard error is not a terminal.
class StatusLine {
 public:
  StatusLine(bool shown, std::ostream& err) : shown_(shown), err_(err) {}
  ~StatusLine() { clear(); }

  void show(long long samples, long long failed, std::chrono::microseconds lastReply) {
    const auto now = std::chrono::steady_clock::now();
    if (!shown_ || now - drawn_ < std::chrono::milliseconds(250)) return;
    drawn_ = now;
    const std::string text = "poll: " + std::to_string(samples) + " samples, " +
                             std::to_string(failed) + " reads failed, last reply " +
                             text::formatMilliseconds(lastReply);
    err_ << "\r" << text << std::string(text.size() < width_ ? width_ - text.size() : 0, ' ')
         << "\r" << std::flush;
    width_ = text.size();
  }
  void clear() {
    if (width_ == 0) return;
    err_ << "\r" << std::string(width_, ' ') << "\r" << std::flush;
    width_ = 0;
    drawn_ = {};
  }

 private:
  bool shown_;
  std::ostream& err_;
  size_t width_ = 0;
  std::chrono::steady_clock::time_point drawn_;
};

// What a poll saw, told on standard error at its end.
class PollSummary {
 public:
  void add(const Outcome& outcome) {
    ++reads_;
    const line::Reading& reading = outcome.reading;
    if (outcome.code != kSuccess) ++failures_[reading.row().summary];
    if (outcome.code == kSuccess && !reading.request.empty()) replyTimes_.add(reading.replyTime);
  }
  void sampled() { ++samples_; }
  long long samples() const { return samples_; }
  long long failedReads() const {
    long long failed = 0;
    for (const auto& kind : failures_) failed += static_cast<long long>(kind.second);
    return failed;
  }
  void overran() { ++overruns_; }
  void lostToADownLine() { ++lost_; }
  void reconnected() { ++reconnects_; }

  void tell(std::ostream& err) {
    err << "zephlorctl: poll: " << samples_ << " sample" << (samples_ == 1 ? "" : "s");
    const long long failed = failedReads();
    std::string kinds;
    for (const auto& [name, count] : failures_) {
      kinds += (kinds.empty() ? "" : ", ") + std::to_string(count) + " " + name;
    }
    err << ", " << reads_ << " read" << (reads_ == 1 ? "" : "s") << ", " << failed
        << (failed == 1 ? " read" : " reads") << " failed"
        << (kinds.empty() ? "" : " (" + kinds + ")") << ", " << overruns_ << " overrun"
        << (overruns_ == 1 ? "" : "s");
    if (lost_ != 0 || reconnects_ != 0) {
      err << ", " << lost_ << " lost to a down line, " << reconnects_ << " reconnect"
          << (reconnects_ == 1 ? "" : "s");
    }
    if (replyTimes_.count() != 0) {
      err << ", reply time min " << text::formatMilliseconds(replyTimes_.least()) << ", median "
          << text::formatMilliseconds(replyTimes_.median()) << ", max "
          << text::formatMilliseconds(replyTimes_.greatest());
    }
    err << std::endl;
  }

 private:
  long long samples_ = 0;
  long long reads_ = 0;
  long long overruns_ = 0;
  long long lost_ = 0;
  long long reconnects_ = 0;
  std::map<std::string, size_t> failures_;
  host::ReplyTimes replyTimes_;
};

}  // namespace

namespace steps {

// Samples at a fixed rate: one sample starts every interval after the one before it started, or
// at once when that one took longer (an overrun), until the count is reached or a stop is
// requested. A failed line ends it, since every further sample would fail the same way; with
// --reconnect it is opened again instead, at most once an interval (and a second), and what the
// samples meanwhile could not read is recorded as "line down".
ExitCode runPoll(const Command& command, Session& session, std::ostream& out, std::ostream& err) {
  ExitCode result = kSuccess;
  PollSummary summary;
  StatusLine status(
      session.results().toFile() && !session.results().quiet() && io::standardErrorIsTerminal(),
      err);
  std::chrono::microseconds lastReply{0};
  const auto reconnectPause =
      std::max<std::chrono::milliseconds>(command.interval, std::chrono::seconds(1));
  std::chrono::steady_clock::time_point lastReconnect;
  std::string lineDown;  // why the line is down, while it is
  auto start = std::chrono::steady_clock::now();
  for (long long sample = 0; command.count == 0 || sample < command.count; ++sample) {
    if (sample > 0 && command.interval.count() != 0) {
      start += command.interval;
      if (std::chrono::steady_clock::now() > start) {
        summary.overran();
        start = std::chrono::steady_clock::now();
      } else if (!io::sleepUntil(start)) {
        break;
      }
    }
    if (!lineDown.empty() && std::chrono::steady_clock::now() - lastReconnect >= reconnectPause) {
      lastReconnect = std::chrono::steady_clock::now();
      const Outcome reopened = session.reopen();
      if (io::stopRequested()) break;
      if (reopened.code == kSuccess) {
        lineDown.clear();
        summary.reconnected();
        status.clear();
        err << "zephlorctl: poll: the line is back" << std::endl;
      }
    }
    const std::string time = timestampNow();
    std::string line = time;
    std::vector<Reading> readings;
    const bool wasDown = !lineDown.empty();
    for (const Item& item : command.items) {
      Value shown;
      Outcome outcome{kDeviceError, item.describe() + ": line down (" + lineDown + ")"};
      if (lineDown.empty()) {
        outcome = readItem(session, item, shown);
        if (io::stopRequested()) break;
        summary.add(outcome);
        if (outcome.code == kSuccess) lastReply = outcome.reading.replyTime;
        if (outcome.code != kSuccess) {
          status.clear();
          result = report(outcome, err);
        }
        if (outcome.code == kDeviceError && command.options.reconnect) {
          lineDown = outcome.reason;
          lastReconnect = std::chrono::steady_clock::now();
        }
      }
      readings.push_back(readingOf(item, outcome, shown));
      const std::string value = outcome.code == kSuccess ? shown.text : "?";
      line += session.results().quiet() ? " " + value : "  " + item.describe() + "=" + value;
      if (outcome.code == kDeviceError && !command.options.reconnect) break;
    }
    if (io::stopRequested()) break;
    summary.sampled();
    if (wasDown) summary.lostToADownLine();
    if (session.results().machineReadable()) {
      session.results().record(readings, time);
    } else {
      out << line << std::endl;
    }
    status.show(summary.samples(), summary.failedReads(), lastReply);
    if (!out || (result == kDeviceError && !command.options.reconnect)) break;
  }
  status.clear();
  if (!session.results().quiet()) summary.tell(err);
  if (!out) return kOutputFailed;  // told by execute()
  return io::stopRequested() ? stoppedExitCode() : result;
}

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

ExitCode showHelp(const Command&, std::ostream& out) {
  out << helpText();
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
