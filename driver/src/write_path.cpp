#include "driver_state.h"
#include "item_kinds.h"
#include "osterfell/host_codes.h"
#include "transaction_branches.h"
#include "value_conversion.h"

namespace osterfell {
namespace {

using namespace host_codes;

bool isModifier(const IA::Fields& item) {
  return item.kind == static_cast<unsigned char>(ItemKind::Modifier);
}

}  // namespace

int32_t buildWriteRequest(const IA::Fields& item, const RSDATA* record, char* requestBuffer) {
  // Taken for every kind, served or not: it is the only memory of what this write sent.
  LastWrittenValue = valueToWrite(*record);
  const int32_t value = truncateToWhole(LastWrittenValue);
  if (isModifier(item)) {
    LevelModifier = static_cast<uint16_t>(value & 0xFFFF);
    return 0;
  }
  const KindOps* ops = opsForKind(item.kind);
  if (ops == nullptr || ops->write.build == nullptr) return 0;
  int32_t length = 0;
  ops->write.build(item, value, LevelModifier, requestBuffer, &length);
  return length;
}

void judgeWriteAcknowledgement(const IA::Fields& item, RSDATA* record, const char* replyBuffer) {
  if (isModifier(item)) {
    record->status = kStatusConfirmed;
    return;
  }
  const KindOps* ops = opsForKind(item.kind);
  const bool confirmed = ops != nullptr && ops->write.acknowledge != nullptr &&
                         ops->write.acknowledge(replyBuffer, truncateToWhole(LastWrittenValue));
  record->status = confirmed ? kStatusConfirmed : kStatusNotConfirmed;
}

}  // namespace osterfell
