#include "item_readings.h"

#include <cmath>
#include <cstdio>

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

}  // namespace

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

ExitCode report(const Outcome& outcome, std::ostream& err) {
  if (!outcome.warning.empty()) err << "zephlorctl: warning: " << outcome.warning << std::endl;
  if (outcome.code != kSuccess) err << "zephlorctl: " << outcome.message << std::endl;
  return outcome.code;
}

Reading readingOf(const Item& item, const Outcome& outcome, const Value& value) {
  const bool failed = outcome.code != kSuccess;
  return {item.describe(), failed ? Value{} : value, outcome.message, outcome.warning,
          failed ? causeOf(outcome) : ""};
}

std::string causeOf(const Outcome& outcome) {
  if (!outcome.reading.completed()) return outcome.reading.row().name;
  // A line that could not be opened again (poll --reconnect) made no transaction at all.
  const bool lineDown = outcome.code == kDeviceError || outcome.code == kDeviceNotFound ||
                        outcome.code == kDevicePermission || outcome.code == kDeviceInUse;
  return lineDown ? facts::verdictRow(facts::TransactionOutcome::kReceiveFailed).name : "";
}

}  // namespace zephlor::ctl
