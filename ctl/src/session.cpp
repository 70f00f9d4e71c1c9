#include "session.h"

#include <unistd.h>

#include <cstdio>
#include <iostream>

#include "zephlor_host/visible_bytes.h"

namespace zephlor::ctl {
namespace {

std::string quoted(const std::string& bytes) { return "\"" + host::visibleBytes(bytes) + "\""; }

std::string milliseconds(std::chrono::microseconds elapsed) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f ms", static_cast<double>(elapsed.count()) / 1000.0);
  return text;
}

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

std::string defaultDriverPath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  if (length <= 0) return "osterfell.so";
  std::string executable(path, static_cast<size_t>(length));
  return executable.substr(0, executable.rfind('/') + 1) + "osterfell.so";
}

Session::Session() = default;
Session::~Session() = default;

Outcome Session::open(const ConnectionOptions& options) {
  timeout_ = options.timeout;
  std::string error;
  const std::string driverPath =
      options.driverPath.empty() ? defaultDriverPath() : options.driverPath;
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
    serial::OpenResult opened = serial::openSerialDevice(options.device, options.baud);
    switch (opened.failure) {
      case serial::OpenFailure::kNone:
        break;
      case serial::OpenFailure::kNotFound:
        return {kDeviceNotFound, opened.message};
      case serial::OpenFailure::kPermissionDenied:
        return {kDevicePermission,
                opened.message + " (is your user in the device's group, such as dialout?)"};
      case serial::OpenFailure::kNotSerial:
      case serial::OpenFailure::kOther:
        return {kDeviceError, opened.message};
    }
    port_ = std::move(opened.port);
    transport_ = std::make_unique<serial::FdLineTransport>(port_.fd());
  }
  if (options.trace) trace_ = std::make_unique<Trace>();
  return {};
}

Outcome Session::transact(const Item& item, RSDATA* records) {
  IA address = item.address();
  const host::TransactionResult result =
      host::runTransaction(driver(), address, records, *transport_, timeout_, trace_.get());
  const std::string what = item.describe() + ": ";
  using host::TransactionOutcome;
  switch (result.outcome) {
    case TransactionOutcome::kCompleted:
      return {};
    case TransactionOutcome::kNothingToSend:
      return {kUsage, what + "the driver has no request for this item"};
    case TransactionOutcome::kSendFailed:
    case TransactionOutcome::kReceiveFailed:
      return {kDeviceError, what + result.error};
    case TransactionOutcome::kNoReply:
      return {kNoReply, what + "no reply within " + std::to_string(timeout_.count()) + " ms to " +
                            quoted(result.request)};
    case TransactionOutcome::kRefused:
      if (result.checkResult == 4) {
        return {kReplyRefused, what + "reply refused, too short (" +
                                   std::to_string(result.reply.size()) +
                                   " bytes): " + quoted(result.reply)};
      }
      return {kReplyRefused, what +
                                 "reply refused, it does not begin with R, two letters and "
                                 "#: " +
                                 quoted(result.reply)};
    case TransactionOutcome::kNotParsed:
      return {kReplyNotParsed, what + "reply does not parse as an answer to " +
                                   quoted(result.request) + ": " + quoted(result.reply)};
    case TransactionOutcome::kNotConfirmed:
      return {kWriteNotConfirmed, what + "the controller did not confirm the write: sent " +
                                      quoted(result.request) + ", echo " + quoted(result.reply) +
                                      " after " + milliseconds(result.replyTime)};
  }
  return {kDeviceError, what + "unexpected transaction outcome"};
}

}  // namespace zephlor::ctl
