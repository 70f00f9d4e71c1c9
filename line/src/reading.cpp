#include "zephlor_line/reading.h"

#include <cstdio>
#include <string_view>

#include "zephlor_text/filled_in.h"
#include "zephlor_text/timestamp.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::line {
namespace {

// What fills the gaps of a verdict's sentence.
text::Gaps fieldsOf(const Reading& reading, std::chrono::milliseconds timeout) {
  using text::quotedBytes;
  return {{"request", quotedBytes(reading.request)},
          {"reply", quotedBytes(reading.reply)},
          {"head", quotedBytes(reading.reply.substr(0, 32))},
          {"length", std::to_string(reading.reply.size())},
          {"capacity", std::to_string(host::kReplyCapacity)},
          {"timeout", std::to_string(timeout.count()) + " ms"},
          {"time", text::formatMilliseconds(reading.replyTime)},
          {"error", reading.detail},
          {"after", reading.reply.empty() ? ", no reply had arrived"
                                          : ", after " + quotedBytes(reading.reply)}};
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

Reading readingOf(const host::TransactionResult& result, const facts::ItemKindInfo& kind) {
  const RSDATA* records = result.records;
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
  const std::string_view sentence = reading.row().sentence;
  if (sentence.empty()) return "";
  const text::Gaps gaps = fieldsOf(reading, timeout);
  return text::filledIn(sentence, gaps);
}

}  // namespace zephlor::line
