#include "session.h"

#include <iostream>

#include "line_trace.h"

#include "zephlor_io/stop_request.h"

namespace zephlor::ctl {
namespace {

Outcome opening(const line::Opening& opened) {
  std::string message = opened.message;
  if (*opened.advice != '\0') message += std::string(" (") + opened.advice + ")";
  return {opened.code, message};
}

}  // namespace

Session::Session() = default;
Session::~Session() = default;

Outcome Session::open(const ConnectionOptions& options) {
  std::string error;
  const std::string driverPath =
      options.driverPath.empty() ? host::defaultPluginPath() : options.driverPath;
  if (!driver_.load(driverPath, error)) return {kDriverUnavailable, error};
  if (!options.simulate && options.device.empty()) {
    return {kUsage, "no line to talk to: give --device PATH, or --sim for the built-in simulator"};
  }

  line::LineSettings settings;
  settings.device = options.simulate ? line::kBuiltInSimulator : options.device;
  settings.baud = options.baud;
  settings.rules.timeout = options.timeout;
  settings.rules.lenient = options.lenient;
  settings.retries = options.retries;
  settings.simulator = options.simulator;
  line_ = std::make_unique<line::LineSession>(driver(), settings);
  const line::Opening opened = line_->open();
  if (!opened.opened()) return opening(opened);
  if (options.trace) {
    trace_ = std::make_unique<LineTrace>();
    line_->setTrace(trace_.get());
    line_->onRetry([this](const Item& item, const line::Reading& failed, int attempt) {
      std::cerr << "zephlorctl: "
                << reportedOutcome(item, failed, line_->settings().rules.timeout).message
                << "; attempt " << attempt << " of " << line_->settings().retries + 1 << std::endl;
    });
  }
  return {};
}

Outcome Session::reopen() { return opening(line_->open()); }

Outcome Session::read(const Item& item) {
  return reportedOutcome(item, line_->read(item), line_->settings().rules.timeout);
}

Outcome Session::write(const Item& item, const RSDATA& record) {
  return reportedOutcome(item, line_->write(item, record), line_->settings().rules.timeout);
}

Outcome reportedOutcome(const Item& item, const line::Reading& reading,
                        std::chrono::milliseconds timeout) {
  const facts::VerdictRow& verdict = reading.row();
  Outcome outcome{verdict.exitCode == kStoppedBySignal ? stoppedExitCode() : verdict.exitCode};
  outcome.reason = line::explain(reading, timeout);
  const std::string what = item.describe() + ": ";
  if (!outcome.reason.empty()) outcome.message = what + outcome.reason;
  if (!reading.warning.empty()) outcome.warning = what + reading.warning + " (--lenient)";
  outcome.reading = reading;
  return outcome;
}

ExitCode stoppedExitCode() { return static_cast<ExitCode>(kStoppedBySignal + io::stopSignal()); }

}  // namespace zephlor::ctl
