#include "zephlor_line/reading.h"

#include <cstdio>
#include <string_view>

#include "zephlor_text/filled_in.h"
#include "zephlor_text/timestamp.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::line {
namespace {

// The value of the field named `name` in a verdict's sentence.
std::optional<std::string> field(std::string_view name, const Reading& reading,
                                 std::chrono::milliseconds timeout) {
  using text::quotedBytes;
  if (name == "request") return quotedBytes(reading.request);
  if (name == "reply") return quotedBytes(reading.reply);
  if (name == "head") return quotedBytes(reading.reply.substr(0, 32));
  if (name == "length") return std::to_string(reading.reply.size());
  if (name == "capacity") return std::to_string(host::kReplyCapacity);
  if (name == "timeout") return std::to_string(timeout.count()) + " ms";
  if (name == "time") return text::formatMilliseconds(reading.replyTime);
  if (name == "error") return reading.detail;
  if (name == "after") {
    return reading.reply.empty() ? ", no reply had arrived"
                                 : ", after " + quotedBytes(reading.reply);
  }
  return std::nullopt;
}

}  // namespace

std::string versionOf(const FirmwareParts& parts) {
  char version[32];
  std::snprintf(version, sizeof version, "%.0f.%.0f", static_cast<double>(parts.major),
                static_cast<double>(parts.minor));
  return version;
}

std::string calendarDateOf(const FirmwareParts& parts) {
  char date[32];
  std::snprintf(date, sizeof date, "%04.0f-%02.0f-%02.0f", 2000.0 + static_cast<double>(parts.year),
                static_cast<double>(parts.month), static_cast<double>(parts.day));
  return date;
}

Reading readingOf(const host::TransactionResult& result, const facts::ItemKindInfo& kind,
                  const RSDATA* records) {
  Reading reading;
  reading.verdict = result.outcome;
  reading.sentValue = result.sentValue;
  reading.replyTime = result.replyTime;
  reading.detail = result.error;
  reading.warning = result.warning;
  reading.request = result.request;
  reading.reply = result.reply;
  reading.attempts = 1;
  if (reading.completed() && records[0].direction == 0) {
    if (kind.value == facts::ValueRule::kFirmware) {
      // Major, minor, then the date in the order the controller sends it: date2 is the day,
      // date1 the month, date3 the year.
      reading.firmware = FirmwareParts{records[0].value, records[1].value, records[2].value,
                                       records[3].value, records[4].value};
    } else {
      reading.value = records[0].value;
    }
  }
  return reading;
}

std::string explain(const Reading& reading, std::chrono::milliseconds timeout) {
  return text::filledIn(reading.row().sentence,
                        [&](std::string_view name) { return field(name, reading, timeout); });
}

}  // namespace zephlor::line
