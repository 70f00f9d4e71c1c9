#include "session.h"

#include <iostream>

#include "line_trace.h"

#include "zephlor_io/stop_request.h"
#include "zephlor_text/timestamp.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl {
namespace {

using text::quotedBytes;

}  // namespace

Session::Session() = default;
Session::~Session() = default;

Outcome Session::open(const ConnectionOptions& options) {
  rules_.timeout = options.timeout;
  rules_.lenient = options.lenient;
  retries_ = options.retries;
  std::string error;
  const std::string driverPath =
      options.driverPath.empty() ? host::defaultPluginPath() : options.driverPath;
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
    device_ = options.device;
    baud_ = options.baud;
    const Outcome opened = openDevice();
    if (opened.code != kSuccess) return opened;
  }
  if (options.trace) trace_ = std::make_unique<LineTrace>();
  return {};
}

Outcome Session::openDevice() {
  transport_.reset();
  line_.reset();
  io::OpenResult opened = io::openLine(device_, baud_, rules_.timeout);
  if (opened.failure == io::OpenFailure::kPermissionDenied) {
    return {kDevicePermission, opened.message + " (" + io::permissionAdvice() + ")"};
  }
  if (opened.failure != io::OpenFailure::kNone) {
    return {io::exitCodeFor(opened.failure), opened.message};
  }
  line_ = std::move(opened.line);
  transport_ = std::make_unique<io::SerialLineTransport>(*line_);
  return {};
}

Outcome Session::reopen() {
  if (device_.empty()) return {};  // the built-in simulator never goes down
  return openDevice();
}

Outcome Session::transact(const Item& item, RSDATA* records) {
  for (int attempt = 0;; ++attempt) {
    Outcome outcome = this->attempt(item, records);
    if (!host::isGarbledOrMissing(outcome.verdict) || attempt >= retries_ || io::stopRequested()) {
      return outcome;
    }
    if (trace_) {
      std::cerr << "zephlorctl: " << outcome.message << "; attempt " << attempt + 2 << " of "
                << retries_ + 1 << std::endl;
    }
  }
}

namespace {

using host::TransactionOutcome;

// What a verdict means to a person, and the exit status it gives.
Outcome explained(const host::TransactionResult& result, std::chrono::milliseconds timeout) {
  const auto outcome = [&](ExitCode code, const std::string& message) {
    return Outcome{code, message};
  };
  const std::string timeoutText = std::to_string(timeout.count()) + " ms";
  switch (result.outcome) {
    case TransactionOutcome::kCompleted:
      return outcome(kSuccess, "");
    case TransactionOutcome::kNothingToSend:
      return outcome(kUsage, "the driver has no request for this item");
    case TransactionOutcome::kSendFailed:
      return outcome(kDeviceError, "the line failed while sending " + quotedBytes(result.request) +
                                       ": " + result.error);
    case TransactionOutcome::kReceiveFailed:
      return outcome(kDeviceError,
                     "the line failed: " + result.error +
                         (result.reply.empty() ? std::string(", no reply had arrived")
                                               : ", after " + quotedBytes(result.reply)));
    case TransactionOutcome::kInterrupted:
      return outcome(stoppedExitCode(), "stopped while waiting on the line");
    case TransactionOutcome::kNoReply:
      return outcome(kNoReply,
                     "no reply within " + timeoutText + " to " + quotedBytes(result.request));
    case TransactionOutcome::kIncomplete:
      return outcome(kNoReply, "incomplete reply, no line end within " + timeoutText + ": " +
                                   quotedBytes(result.reply) + " (" +
                                   std::to_string(result.reply.size()) + " bytes)");
    case TransactionOutcome::kTooLong:
      return outcome(kReplyNotParsed,
                     "reply too long, over " + std::to_string(host::kReplyCapacity) +
                         " bytes before its line end: " + quotedBytes(result.reply.substr(0, 32)) +
                         "...");
    case TransactionOutcome::kTooShort:
      return outcome(kReplyRefused, "reply refused, too short (" +
                                        std::to_string(result.reply.size()) +
                                        " bytes): " + quotedBytes(result.reply));
    case TransactionOutcome::kNotAFrame:
      return outcome(kReplyRefused, "reply refused, it does not begin with R, two letters and #: " +
                                        quotedBytes(result.reply));
    case TransactionOutcome::kOtherItem:
    case TransactionOutcome::kNotANumber:
      return outcome(kReplyNotParsed, result.error);
    case TransactionOutcome::kNotParsed:
      return outcome(kReplyNotParsed, "reply does not parse as an answer to " +
                                          quotedBytes(result.request) + ": " +
                                          quotedBytes(result.reply));
    case TransactionOutcome::kNotSilent:
      return outcome(kDeviceError,
                     "the line does not fall silent: bytes keep arriving unasked, so " +
                         quotedBytes(result.request) + " was not sent");
    case TransactionOutcome::kNotConfirmed:
      return outcome(kWriteNotConfirmed, "the controller did not confirm the write: sent " +
                                             quotedBytes(result.request) + ", echo " +
                                             quotedBytes(result.reply) + " after " +
                                             text::formatMilliseconds(result.replyTime));
  }
  return outcome(kDeviceError, "unexpected transaction outcome");
}

}  // namespace

Outcome Session::attempt(const Item& item, RSDATA* records) {
  IA address = item.address();
  const host::TransactionResult result = host::runTransaction(
      driver(), address, item.kind->addressCount, records, *transport_, rules_, trace_.get());
  Outcome outcome = explained(result, rules_.timeout);
  const std::string what = item.describe() + ": ";
  if (!outcome.message.empty()) outcome.message = what + outcome.message;
  if (!result.warning.empty()) outcome.warning = what + result.warning + " (--lenient)";
  outcome.request = result.request;
  outcome.sentValue = result.sentValue;
  outcome.verdict = result.outcome;
  outcome.replyTime = result.replyTime;
  return outcome;
}

ExitCode stoppedExitCode() { return static_cast<ExitCode>(kStoppedBySignal + io::stopSignal()); }

}  // namespace zephlor::ctl
