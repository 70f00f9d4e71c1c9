// Loads a fresh instance of the plug-in for every test, as the host does, and wraps the entry
// points in helpers that keep the tests short. Records are surrounded by guard records and the
// request buffer by guard bytes, so a write outside what the driver was given is caught.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <string>

#include "zephlor_host/driver_module.h"

namespace zephlor::testing {

inline IA makeItem(unsigned char kind, unsigned char a1 = 0, unsigned char a2 = 0,
                   unsigned char a3 = 0, unsigned char a4 = 0) {
  IA item;
  item.fields = {0xEE, kind, a1, a2, a3, a4};
  return item;
}

inline RSDATA makeRecord(float value, unsigned char direction, unsigned char valueType = 0) {
  RSDATA record;
  record.value = value;
  record.valueType = valueType;
  record.status = 0x77;
  record.hostByte = 0x66;
  record.direction = direction;
  return record;
}

inline bool sameBytes(const RSDATA& a, const RSDATA& b) { return memcmp(&a, &b, sizeof a) == 0; }

// Five records for the driver (a firmware read fills all five) between two guard records.
struct GuardedRecords {
  static constexpr int kUsable = 5;
  std::array<RSDATA, kUsable + 2> all;

  explicit GuardedRecords(const RSDATA& fill) {
    all.fill(fill);
    all.front() = guard();
    all.back() = guard();
  }
  static RSDATA guard() { return makeRecord(-12345.0f, 0xBB, 0xBB); }
  RSDATA* first() { return &all[1]; }
  RSDATA& operator[](int i) { return all[static_cast<size_t>(i) + 1]; }
  bool guardsIntact() const {
    return sameBytes(all.front(), guard()) && sameBytes(all.back(), guard());
  }
};

struct SetOutcome {
  unsigned requestLength;
  unsigned requestCode;
  std::string line;  // the request buffer up to its NUL
  bool bufferUntouched;
  bool guardIntact;
};

struct GetOutcome {
  int result;
  int recordCount;
  int parseCode;
};

class DriverTest : public ::testing::Test {
 protected:
  static constexpr int kUnsetCount = -7;
  static constexpr int kUnsetParseCode = -9;
  static constexpr char kBufferFill = '~';

  void SetUp() override { reload(); }

  void reload() {
    std::string error;
    ASSERT_TRUE(module_.load(OSTERFELL_PLUGIN_PATH, error)) << error;
    driver_ = module_.entryPoints();
  }

  SetOutcome set(IA& item, RSDATA* record) {
    // 33 bytes hold the longest line and its NUL; the rest is guard.
    char buffer[48];
    memset(buffer, kBufferFill, sizeof buffer);
    unsigned length = 0xDEAD;
    unsigned code = 0xBEEF;
    int ignored = 0;
    driver_.set(item, length, code, ignored, record, buffer, nullptr);
    SetOutcome outcome{length, code, "", true, true};
    for (size_t i = 0; i < sizeof buffer; ++i) {
      if (buffer[i] != kBufferFill) outcome.bufferUntouched = false;
      if (i > 32 && buffer[i] != kBufferFill) outcome.guardIntact = false;
    }
    if (!outcome.bufferUntouched) outcome.line.assign(buffer, strnlen(buffer, 33));
    return outcome;
  }

  int check(const std::string& received, unsigned& checkValueA, unsigned& checkValueB) {
    std::string reply = received;
    unsigned length = static_cast<unsigned>(reply.size());
    IA unused = makeItem(0);
    return driver_.check(unused, length, checkValueA, checkValueB, reply.data(), nullptr, 0);
  }

  GetOutcome get(IA& item, RSDATA* record, const std::string& reply) {
    std::string buffer = reply;
    unsigned ignored = 0;
    GetOutcome outcome{0, kUnsetCount, kUnsetParseCode};
    outcome.result = driver_.get(item, ignored, outcome.recordCount, record, buffer.data(),
                                 outcome.parseCode, nullptr);
    return outcome;
  }

  host::DriverModule module_;
  host::DriverEntryPoints driver_;
};

}  // namespace zephlor::testing
