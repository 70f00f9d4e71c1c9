// The seven entry points the host calls, and the frame shared by the read and write branches.
#include "osterfell/entry_points.h"

#include "osterfell/host_codes.h"

#include "item_kinds.h"
#include "transaction_branches.h"

namespace {

using namespace osterfell::host_codes;

// "R", two mnemonic letters, "#" and at least one more character.
constexpr unsigned kShortestReply = 5;

const char kDriverName[] = "Zephlor";

bool isWrite(const RSDATA* record) { return record->direction != 0; }

}  // namespace

int Prepare_xxx(int, char* driverName, int& prepareCode, int&) {
  for (unsigned i = 0; i < sizeof kDriverName; ++i) driverName[i] = kDriverName[i];
  prepareCode = 0;
  return 0;
}

int zCompare_xxx(int, IA& itemA, IA& itemB, int&, void*, void*) {
  if (&itemA == &itemB) return 1;
  const IA::Fields& a = itemA.fields;
  const IA::Fields& b = itemB.fields;
  const osterfell::KindOps* ops = osterfell::opsForKind(a.kind);
  if (ops == nullptr) return 0;
  const unsigned char addressesA[] = {a.addr1, a.addr2, a.addr3, a.addr4};
  const unsigned char addressesB[] = {b.addr1, b.addr2, b.addr3, b.addr4};
  for (int i = 0; i < ops->addressCount; ++i) {
    if (addressesA[i] != addressesB[i]) return 0;
  }
  // One firmware query fills five records; the host learns the second item's slot this way.
  if (a.kind == static_cast<unsigned char>(ItemKind::Firmware)) return b.addr2 + 1;
  return 1;
}

void Set_xxx(IA& item, unsigned int& requestLength, unsigned int& requestCode, int&, RSDATA* record,
             char* requestBuffer, void*) {
  requestCode = 0;
  requestLength = 0;
  const int32_t length = isWrite(record)
                             ? osterfell::buildWriteRequest(item.fields, record, requestBuffer)
                             : osterfell::buildReadRequest(item.fields, record, requestBuffer);
  requestLength = static_cast<unsigned int>(length);
  requestCode = requestLength != 0 ? kRequestLineBuilt : 0;
}

int zReadAny_xxx(IA&, unsigned int&, unsigned int&, char*) { return 0; }

int Check_xxx(IA&, unsigned int& receivedLength, unsigned int& checkValueA,
              unsigned int& checkValueB, char* replyBuffer, void*, int) {
  int result = kCheckAccepted;
  if (receivedLength == 0) {
    result = kCheckNothingReceived;
  } else if (receivedLength < kShortestReply) {
    result = kCheckTooShort;
  } else if (replyBuffer[0] != 'R' || replyBuffer[3] != '#') {
    result = kCheckWrongFrame;
  }
  if (result != kCheckAccepted) {
    checkValueA = 0;
    checkValueB = 0;
  }
  return result;
}

int Get_xxx(IA& item, unsigned int&, int& recordCount, RSDATA* record, char* replyBuffer,
            int& parseCode, void*) {
  if (isWrite(record)) {
    osterfell::judgeWriteAcknowledgement(item.fields, record, replyBuffer);
  } else {
    osterfell::parseReadReply(item.fields, recordCount, record, replyBuffer, parseCode);
  }
  return kGetResult;
}

void zzStub() {}
