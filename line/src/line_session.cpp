#include "zephlor_line/line_session.h"

#include "zephlor_io/serial_port.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/fault_injector.h"
#include "zephlor_sim/simulated_link.h"

namespace zephlor::line {

LineSession::LineSession(const host::DriverEntryPoints& driver, LineSettings settings)
    : driver_(driver), settings_(std::move(settings)) {}

LineSession::~LineSession() = default;

Opening LineSession::open() {
  if (settings_.simulated()) {
    if (transport_ == nullptr) {
      simController_ = std::make_unique<sim::ControllerModel>(settings_.simulator.firmware);
      simFaults_ = std::make_unique<sim::FaultInjector>(settings_.simulator.faults);
      transport_ =
          std::make_unique<sim::SimulatedLink>(*simController_, *simFaults_, settings_.baud);
    }
    return {};
  }
  close();
  io::OpenResult opened = io::openLine(settings_.device, settings_.baud, settings_.rules.timeout);
  if (opened.failure == io::OpenFailure::kPermissionDenied) {
    return {kDevicePermission, opened.message, io::permissionAdvice()};
  }
  if (opened.failure != io::OpenFailure::kNone) {
    return {io::exitCodeFor(opened.failure), opened.message};
  }
  line_ = std::move(opened.line);
  transport_ = std::make_unique<io::SerialLineTransport>(*line_);
  return {};
}

void LineSession::close() {
  transport_.reset();
  line_.reset();
}

std::string LineSession::openedAs() const {
  return settings_.simulated() ? "the built-in simulator" : "opened " + settings_.device;
}

Reading LineSession::read(const host::Item& item) {
  RSDATA records[host::kFirmwareRecords] = {};
  return transact(item, records);
}

Reading LineSession::write(const host::Item& item, RSDATA record) {
  record.direction = 1;
  return transact(item, &record);
}

Reading LineSession::transact(const host::Item& item, RSDATA* records) {
  IA address = item.address();
  for (int attempt = 1;; ++attempt) {
    const host::TransactionResult result = host::runTransaction(
        driver_, address, item.kind->addressCount, records, *transport_, settings_.rules, trace_);
    Reading reading = readingOf(result, *item.kind);
    reading.attempts = attempt;
    if (!reading.row().retried || attempt > settings_.retries || io::stopRequested()) {
      return reading;
    }
    if (onRetry_) onRetry_(item, reading, attempt + 1);
  }
}

}  // namespace zephlor::line
