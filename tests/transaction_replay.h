// Runs one recorded transaction through the driver's entry points as the host does and checks
// every effect: the request line and its length and code, the frame check, the parse into the
// records, and that nothing outside the records and buffer the driver was given changed.
// Plain C++ and <string.h> only, so the Windows test host can use it as it is.
#pragma once

#include <string.h>

#include "recorded_transactions.h"
#include "zephlor_host/entry_point_table.h"

namespace zephlor::replay {

constexpr unsigned char kItemHostByte = 0xEE;
constexpr unsigned char kRecordHostByte = 0x66;
constexpr char kBufferFill = '~';
constexpr unsigned kRequestCapacity = 33;  // the longest line and its NUL

inline RSDATA guardRecord() {
  RSDATA guard;
  memset(&guard, 0xBB, sizeof guard);
  return guard;
}

// Returns null when the transaction behaved as recorded, else what differed.
inline const char* replay(const host::DriverEntryPoints& driver, const RecordedTransaction& t) {
  IA item;
  item.fields = {kItemHostByte, t.kind, t.addr1, t.addr2, t.addr3, t.addr4};
  const IA itemBefore = item;

  // Five records for the driver between two guard records.
  RSDATA records[7];
  for (RSDATA& record : records) record = guardRecord();
  for (int i = 1; i <= 5; ++i) {
    records[i].value = kUntouchedValue;
    records[i].valueType = t.valueType;
    records[i].status = kUntouchedStatus;
    records[i].hostByte = kRecordHostByte;
    records[i].direction = t.direction;
  }
  RSDATA* record = &records[1];
  if (t.valueType == kValueTypeUnsigned16) {
    const unsigned char bytes[4] = {static_cast<unsigned char>(t.u16 & 0xFF),
                                    static_cast<unsigned char>(t.u16 >> 8), 0xFF, 0xFF};
    memcpy(&record->value, bytes, sizeof bytes);
  } else if (t.direction != 0) {
    record->value = t.value;
  }
  RSDATA handedIn[7];
  memcpy(handedIn, records, sizeof records);

  char request[48];
  memset(request, kBufferFill, sizeof request);
  unsigned length = 0xDEAD, code = 0xBEEF;
  int unused = 0;
  driver.set(item, length, code, unused, record, request, nullptr);
  const unsigned expectedLength = static_cast<unsigned>(strlen(t.request));
  if (length != expectedLength) return "requestLength differs";
  if (code != (expectedLength != 0 ? 100u : 0u)) return "requestCode differs";
  if (memcmp(request, t.request, expectedLength) != 0) return "request line differs";
  if (expectedLength != 0 && request[expectedLength] != '\0') return "request line not ended";
  for (unsigned i = kRequestCapacity; i < sizeof request; ++i) {
    if (request[i] != kBufferFill) return "Set_xxx wrote past the request buffer";
  }
  const bool readsModifier = t.kind == 9 && t.direction == 0;
  if (expectedLength == 0 && !readsModifier) {
    for (char c : request) {
      if (c != kBufferFill) return "Set_xxx changed the buffer without building a line";
    }
  }
  if (!readsModifier && memcmp(records, handedIn, sizeof records) != 0) {
    return "Set_xxx changed a record";
  }

  char reply[128];
  const unsigned replyLength = static_cast<unsigned>(strlen(t.reply));
  memcpy(reply, t.reply, replyLength + 1);
  int count = kUntouchedCount;
  int parseCode = kUntouchedParseCode;
  bool parse = expectedLength == 0 ? t.direction != 0 : true;
  if (expectedLength != 0) {
    unsigned received = replyLength, a = 1, b = 2;
    const int checked = driver.check(item, received, a, b, reply, nullptr, 0);
    if (checked != t.check) return "Check_xxx result differs";
    if (checked == 0 ? (a != 1 || b != 2) : (a != 0 || b != 0)) return "check values differ";
    parse = checked == 0;
  }
  if (parse) {
    unsigned ignored = 0;
    if (driver.get(item, ignored, count, record, reply, parseCode, nullptr) != 50) {
      return "Get_xxx did not return 50";
    }
  }
  if (count != t.recordCount) return "recordCount differs";
  if (parseCode != t.parseCode) return "parseCode differs";

  const int filled = t.recordCount == 5 ? 5 : 1;
  for (int i = 0; i < 5; ++i) {
    const RSDATA& now = record[i];
    const RSDATA& before = handedIn[i + 1];
    const bool written = i < filled;
    if (now.valueType != before.valueType || now.hostByte != before.hostByte ||
        now.direction != before.direction) {
      return "a record byte the driver never writes changed";
    }
    if (now.status != (written ? t.status : kUntouchedStatus)) return "status differs";
    const bool valueKept = memcmp(&now.value, &before.value, sizeof now.value) == 0;
    if (t.direction != 0 || !written) {
      if (!valueKept) return "a value changed that must not";
    } else if (now.value != t.values[i]) {
      return "value differs";
    }
  }
  if (memcmp(&records[0], &handedIn[0], sizeof(RSDATA)) != 0 ||
      memcmp(&records[6], &handedIn[6], sizeof(RSDATA)) != 0) {
    return "a guard record changed";
  }
  if (memcmp(&item, &itemBefore, sizeof item) != 0) return "the item changed";
  return nullptr;
}

}  // namespace zephlor::replay
