#include "reply_parsers.h"

#include "reply_scanner.h"

namespace wirelex {

bool parseQueryValue(ExchangeId id, const char* reply, int32_t* out) {
  const Exchange& exchange = exchangeFor(id);
  int32_t fields[kMaxReplyFields];
  if (scanReply(exchange, reply, fields) != exchange.replyFields) return false;
  *out = fields[exchange.replyFields - 1];
  return true;
}

bool parseFirmware(const char* reply, FirmwareInfo* out) {
  // The slot of each reply field; the first field (the echoed address) is dropped and the first
  // two numbers of the date land crosswise.
  static constexpr int32_t FirmwareInfo::*kSlotOfField[kMaxReplyFields] = {
      nullptr,
      &FirmwareInfo::versionMajor,
      &FirmwareInfo::versionMinor,
      &FirmwareInfo::date1,
      &FirmwareInfo::date2,
      &FirmwareInfo::date3,
  };
  const Exchange& exchange = exchangeFor(ExchangeId::kQueryFirmware);
  int32_t fields[kMaxReplyFields];
  const int converted = scanReply(exchange, reply, fields);
  for (int field = 1; field < converted; ++field) out->*kSlotOfField[field] = fields[field];
  return converted == exchange.replyFields;
}

bool parseAcknowledgement(ExchangeId id, const char* reply, int32_t expected) {
  const Exchange& exchange = exchangeFor(id);
  int32_t fields[kMaxReplyFields];
  if (scanReply(exchange, reply, fields) != exchange.replyFields) return false;
  const int32_t sent = exchange.setValue == SetValue::kWhole ? expected : (expected & 0xFF);
  return fields[exchange.replyFields - 1] == sent;
}

}  // namespace wirelex
