#include "driver_state.h"
#include "item_kinds.h"
#include "osterfell/host_codes.h"
#include "transaction_branches.h"
#include "value_conversion.h"
#include "wirelex.h"

namespace osterfell {
namespace {

using namespace host_codes;

constexpr int kFirmwareRecords = 5;

void storeValue(RSDATA& record, int32_t value) {
  record.value = wholeToFloat(value);
  record.status = 0;
}

// A failed parse must leave the host's records untouched, so the fields are collected here
// first and copied only once the whole reply has been accepted.
bool parseFirmwareReply(const char* replyBuffer, int& recordCount, RSDATA* record) {
  FirmwareInfo firmware;
  if (!ParseFirmware(replyBuffer, &firmware)) return false;
  const int32_t slots[kFirmwareRecords] = {firmware.versionMajor, firmware.versionMinor,
                                           firmware.date2, firmware.date1, firmware.date3};
  for (int i = 0; i < kFirmwareRecords; ++i) storeValue(record[i], slots[i]);
  recordCount = kFirmwareRecords;
  return true;
}

}  // namespace

int32_t buildReadRequest(const IA::Fields& item, RSDATA* record, char* requestBuffer) {
  if (item.kind == static_cast<unsigned char>(ItemKind::Modifier)) {
    // Answered at once from the driver's own value: nothing is sent.
    requestBuffer[0] = '\0';
    storeValue(*record, LevelModifier);
    return 0;
  }
  const KindOps* ops = opsForKind(item.kind);
  if (ops == nullptr || ops->read.build == nullptr) return 0;
  int32_t length = 0;
  ops->read.build(item, requestBuffer, &length);
  return length;
}

void parseReadReply(const IA::Fields& item, int& recordCount, RSDATA* record,
                    const char* replyBuffer, int& parseCode) {
  parseCode = kParseCodeAccepted;
  const KindOps* ops = opsForKind(item.kind);
  bool accepted = false;
  if (item.kind == static_cast<unsigned char>(ItemKind::Firmware)) {
    accepted = parseFirmwareReply(replyBuffer, recordCount, record);
  } else if (ops != nullptr && ops->read.parse != nullptr) {
    int32_t value = 0;
    accepted = ops->read.parse(replyBuffer, &value);
    if (accepted) {
      storeValue(*record, value);
      recordCount = 1;
    }
  }
  if (!accepted) parseCode = kParseCodeRefused;
}

}  // namespace osterfell
