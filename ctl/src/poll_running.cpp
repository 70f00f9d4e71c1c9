// Running a poll: samples at a fixed rate, a status line while records go to a file, a line
// opened again after it failed (--reconnect), and the summary of what the poll saw.
#include <algorithm>
#include <map>

#include "item_readings.h"
#include "verb_steps.h"
#include "zephlor_host/reply_times.h"
#include "zephlor_io/console.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_text/timestamp.h"

namespace zephlor::ctl {
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
    const auto began = std::chrono::system_clock::now();
    std::string line = text::formatTimestamp(began);
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
      session.results().record(readings, began);
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

}  // namespace steps
}  // namespace zephlor::ctl
