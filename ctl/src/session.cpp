#include "session.h"

#include <cstdio>
#include <filesystem>
#include <iostream>

#include "reply_check.h"
#include "zephlor_host/timestamp.h"
#include "zephlor_host/visible_bytes.h"
#include "zephlor_serial/stop_request.h"

namespace zephlor::ctl {
namespace {

using host::quotedBytes;

}  // namespace

// Every line on the wire, with its time since the line was opened, on standard error.
class Session::Trace : public host::TraceSink {
 public:
  void sent(const std::string& bytes) override { show("->", bytes, ""); }
  void received(const std::string& bytes, bool lineComplete) override {
    show("<-", bytes, lineComplete ? "" : "  (no line end before the timeout)");
  }

 private:
  void show(const char* direction, const std::string& bytes, const char* remark) {
    const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(
        std::chrono::steady_clock::now() - opened_);
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "[%10.3f ms] ",
                  static_cast<double>(elapsed.count()) / 1000.0);
    std::cout.flush();  // keep results and trace in the order they happened
    std::cerr << stamp << direction << " " << host::visibleBytes(bytes) << remark << std::endl;
  }

  std::chrono::steady_clock::time_point opened_ = std::chrono::steady_clock::now();
};

Session::Session() = default;
Session::~Session() = default;

Outcome Session::open(const ConnectionOptions& options) {
  timeout_ = options.timeout;
  retries_ = options.retries;
  strict_ = options.strict;
  std::string error;
  std::string driverPath = options.driverPath;
  if (driverPath.empty()) {
    const std::vector<std::string> candidates = host::defaultPluginPaths();
    driverPath = candidates.front();
    for (const std::string& candidate : candidates) {
      std::error_code ignored;
      if (std::filesystem::exists(candidate, ignored)) {
        driverPath = candidate;
        break;
      }
    }
  }
  if (!driver_.load(driverPath, error)) return {kDriverUnavailable, error};

  if (options.simulate) {
    simController_ = std::make_unique<sim::ControllerModel>(options.simulator.firmware);
    simFaults_ = std::make_unique<sim::FaultInjector>(options.simulator.faults);
    transport_ = std::make_unique<sim::SimulatedLink>(*simController_, *simFaults_, options.baud);
  } else {
    if (options.device.empty()) {
      return {kUsage,
              "no line to talk to: give --device PATH, or --sim for the built-in "
              "simulator"};
    }
    serial::OpenResult opened = serial::openLine(options.device, options.baud, options.timeout);
    if (opened.failure == serial::OpenFailure::kPermissionDenied) {
      return {kDevicePermission, opened.message + " (" + serial::permissionAdvice() + ")"};
    }
    if (opened.failure != serial::OpenFailure::kNone) {
      return {serial::exitCodeFor(opened.failure), opened.message};
    }
    line_ = std::move(opened.line);
    transport_ = std::make_unique<serial::SerialLineTransport>(*line_);
  }
  if (options.trace) trace_ = std::make_unique<Trace>();
  return {};
}

Outcome Session::transact(const Item& item, RSDATA* records) {
  for (int attempt = 0;; ++attempt) {
    Outcome outcome = this->attempt(item, records);
    const bool worthAnother = outcome.code == kNoReply || outcome.code == kReplyRefused;
    if (!worthAnother || attempt >= retries_ || serial::stopRequested()) return outcome;
    if (trace_) {
      std::cerr << "zephlorctl: " << outcome.message << "; attempt " << attempt + 2 << " of "
                << retries_ + 1 << std::endl;
    }
  }
}

Outcome Session::attempt(const Item& item, RSDATA* records) {
  IA address = item.address();
  const host::TransactionResult result =
      host::runTransaction(driver(), address, records, *transport_, timeout_, trace_.get());
  const std::string what = item.describe() + ": ";
  const auto failed = [&](ExitCode code, const std::string& message) {
    Outcome outcome{code, what + message, result.request};
    outcome.replyTime = result.replyTime;
    outcome.replied = !result.reply.empty();
    return outcome;
  };
  using host::TransactionOutcome;
  switch (result.outcome) {
    case TransactionOutcome::kCompleted: {
      Outcome outcome = failed(kSuccess, "");
      if (result.request.empty()) return outcome;  // the modifier: no line
      const std::optional<std::string> difference =
          replyDifference(result.request, result.reply, item.kind->addressCount,
                          item.kind->kind == ItemKind::Firmware);
      if (difference && strict_) return failed(kReplyNotParsed, *difference + " (--strict)");
      if (difference) std::cerr << "zephlorctl: warning: " << what << *difference << std::endl;
      outcome.message.clear();
      return outcome;
    }
    case TransactionOutcome::kNothingToSend:
      return failed(kUsage, "the driver has no request for this item");
    case TransactionOutcome::kSendFailed:
      return failed(kDeviceError, "the line failed while sending " + quotedBytes(result.request) +
                                      ": " + result.error);
    case TransactionOutcome::kReceiveFailed:
      return failed(kDeviceError,
                    "the line failed: " + result.error +
                        (result.reply.empty() ? std::string(", no reply had arrived")
                                              : ", after " + quotedBytes(result.reply)));
    case TransactionOutcome::kInterrupted:
      return failed(stoppedExitCode(), "stopped while waiting on the line");
    case TransactionOutcome::kNoReply:
      return failed(kNoReply, "no reply within " + std::to_string(timeout_.count()) + " ms to " +
                                  quotedBytes(result.request));
    case TransactionOutcome::kIncomplete:
      return failed(kNoReply, "incomplete reply, no line end within " +
                                  std::to_string(timeout_.count()) +
                                  " ms: " + quotedBytes(result.reply) + " (" +
                                  std::to_string(result.reply.size()) + " bytes)");
    case TransactionOutcome::kRefused:
      if (result.checkResult == 4) {
        return failed(kReplyRefused, "reply refused, too short (" +
                                         std::to_string(result.reply.size()) +
                                         " bytes): " + quotedBytes(result.reply));
      }
      return failed(kReplyRefused, "reply refused, it does not begin with R, two letters and #: " +
                                       quotedBytes(result.reply));
    case TransactionOutcome::kNotParsed:
      return failed(kReplyNotParsed, "reply does not parse as an answer to " +
                                         quotedBytes(result.request) + ": " +
                                         quotedBytes(result.reply));
    case TransactionOutcome::kNotConfirmed:
      return failed(kWriteNotConfirmed, "the controller did not confirm the write: sent " +
                                            quotedBytes(result.request) + ", echo " +
                                            quotedBytes(result.reply) + " after " +
                                            host::formatMilliseconds(result.replyTime));
  }
  return failed(kDeviceError, "unexpected transaction outcome");
}

ExitCode stoppedExitCode() {
  return static_cast<ExitCode>(kStoppedBySignal + serial::stopSignal());
}

}  // namespace zephlor::ctl
