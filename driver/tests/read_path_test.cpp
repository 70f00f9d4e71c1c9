// Read transactions through the entry points: the query line of each kind, the reply parsed into
// the record, and what a refused reply or an unserved kind leaves alone.
#include <cfenv>

#include "driver_fixture.h"

namespace zephlor::testing {
namespace {

using ReadPath = DriverTest;

struct ReadCase {
  const char* name;
  IA item;
  const char* request;  // without CR LF
  const char* reply;
  float value;
};

// Names the case in test listings and failure messages.
void PrintTo(const ReadCase& c, std::ostream* out) { *out << c.name; }

class ReadEachKind : public DriverTest, public ::testing::WithParamInterface<ReadCase> {};

TEST_P(ReadEachKind, QueriesAndStoresTheValue) {
  ReadCase c = GetParam();
  GuardedRecords records(makeRecord(0.5f, 0));
  const SetOutcome sent = set(c.item, records.first());
  const std::string expectedLine = std::string(c.request) + "\r\n";
  EXPECT_EQ(sent.line, expectedLine);
  EXPECT_EQ(sent.requestLength, expectedLine.size());
  EXPECT_EQ(sent.requestCode, 100u);
  EXPECT_TRUE(sent.guardIntact);
  EXPECT_TRUE(sameBytes(records[0], makeRecord(0.5f, 0))) << "Set_xxx must not touch the record";

  unsigned a = 1, b = 2;
  EXPECT_EQ(check(c.reply, a, b), 0);
  const GetOutcome got = get(c.item, records.first(), c.reply);
  EXPECT_EQ(got.result, 50);
  EXPECT_EQ(got.parseCode, 2);
  EXPECT_EQ(got.recordCount, 1);
  EXPECT_EQ(records[0].value, c.value);
  EXPECT_EQ(records[0].status, 0);
  EXPECT_EQ(records[0].valueType, 0);
  EXPECT_EQ(records[0].hostByte, 0x66);
  EXPECT_EQ(records[0].direction, 0);
  EXPECT_TRUE(sameBytes(records[1], makeRecord(0.5f, 0))) << "only one record is written";
  EXPECT_TRUE(records.guardsIntact());
}

INSTANTIATE_TEST_SUITE_P(
    Driver, ReadEachKind,
    ::testing::Values(
        ReadCase{"led", makeItem(1, 1, 2, 3, 4), "VLS# 1 2 3", "RLS# 1 2 3 1\r\n", 1.0f},
        ReadCase{"module level", makeItem(2, 1, 2, 3, 4), "VGB# 1 2 3 4", "RGB# 1 2 3 4 80", 80.0f},
        ReadCase{"station level", makeItem(3, 1, 2, 3), "VGC# 1 2 3", "RGC# 1 2 3 75", 75.0f},
        ReadCase{"reply for other addresses", makeItem(3, 1, 2, 3), "VGC# 1 2 3", "RGC# 9 9 9 75",
                 75.0f},
        ReadCase{"contactor level", makeItem(4, 200, 1, 1, 1), "VGL# 200", "RGL# 200 100", 100.0f},
        ReadCase{"thermostat", makeItem(5, 255, 0, 255), "VGH# 255 0 255", "RGH# 255 0 255 -40",
                 -40.0f},
        ReadCase{"thermostat large", makeItem(5, 1, 1, 1), "VGH# 1 1 1", "RGH# 1 1 1 16777217",
                 16777216.0f},
        ReadCase{"switch", makeItem(6, 1, 2, 3), "VGS# 1 2 3", "RGS# 1 2 3 0", 0.0f}));

// The host may run with any rounding mode; a read value is still the nearest float.
TEST_F(ReadPath, ValueIsRoundedToNearestWhateverTheHostsRoundingMode) {
  IA item = makeItem(5, 1, 2, 3);
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(fesetround(mode), 0);
    GuardedRecords records(makeRecord(0.5f, 0));
    set(item, records.first());
    get(item, records.first(), "RGH# 1 2 3 16777219");
    EXPECT_EQ(records[0].value, 16777220.0f) << "rounding mode " << mode;
  }
  fesetround(FE_TONEAREST);
}

TEST_F(ReadPath, FirmwareFillsFiveRecordsInSlotOrder) {
  IA item = makeItem(0, 7, 1, 2, 3);
  GuardedRecords records(makeRecord(0.5f, 0));
  const SetOutcome sent = set(item, records.first());
  EXPECT_EQ(sent.line, "VGV# 7\r\n");
  EXPECT_EQ(sent.requestLength, 8u);
  EXPECT_EQ(sent.requestCode, 100u);

  unsigned a = 1, b = 2;
  EXPECT_EQ(check("RGV# 7 VER 3.2 12/25/4\r\n", a, b), 0);
  const GetOutcome got = get(item, records.first(), "RGV# 7 VER 3.2 12/25/4\r\n");
  EXPECT_EQ(got.result, 50);
  EXPECT_EQ(got.recordCount, 5);
  EXPECT_EQ(got.parseCode, 2);
  const float expected[] = {3.0f, 2.0f, 25.0f, 12.0f, 4.0f};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(records[i].value, expected[i]) << "record " << i;
    EXPECT_EQ(records[i].status, 0);
    EXPECT_EQ(records[i].hostByte, 0x66);
    EXPECT_EQ(records[i].direction, 0);
  }
  EXPECT_TRUE(records.guardsIntact());
}

// A refused reply must not mark any record good, not even the firmware slots that the codec
// filled before the reply broke off.
TEST_F(ReadPath, RefusedRepliesLeaveRecordsAlone) {
  struct Refused {
    IA item;
    const char* reply;
  } cases[] = {
      {makeItem(0, 1), "RGV# 1 VER 3.2 12-25-4"},
      {makeItem(0, 1), "RGV# 1 VER 3.2"},
      {makeItem(3, 1, 2, 3), "RGS# 1 2 3 75"},
      {makeItem(3, 1, 2, 3), "RGC# 1 2 3"},
      {makeItem(1, 1, 2, 3), "RLD# 1 2 3 1"},
      {makeItem(4, 1), "RGL# 1 99999999999"},
      {makeItem(6, 1, 2, 3), ""},
  };
  for (auto& c : cases) {
    SCOPED_TRACE(c.reply);
    GuardedRecords records(makeRecord(0.5f, 0));
    const GetOutcome got = get(c.item, records.first(), c.reply);
    EXPECT_EQ(got.result, 50);
    EXPECT_EQ(got.parseCode, 99);
    EXPECT_EQ(got.recordCount, kUnsetCount);
    for (int i = 0; i < GuardedRecords::kUsable; ++i) {
      EXPECT_TRUE(sameBytes(records[i], makeRecord(0.5f, 0)));
    }
    EXPECT_TRUE(records.guardsIntact());
  }
}

TEST_F(ReadPath, ModifierIsAnsweredWithoutALine) {
  IA item = makeItem(9, 1, 2, 3, 4);
  GuardedRecords records(makeRecord(0.5f, 0));
  const SetOutcome sent = set(item, records.first());
  EXPECT_EQ(sent.requestLength, 0u);
  EXPECT_EQ(sent.requestCode, 0u);
  EXPECT_EQ(sent.line, "");
  EXPECT_FALSE(sent.bufferUntouched) << "the buffer holds an empty string";
  EXPECT_EQ(records[0].value, 0.0f);
  EXPECT_EQ(records[0].status, 0);
  EXPECT_EQ(records[0].hostByte, 0x66);
  EXPECT_TRUE(records.guardsIntact());
}

// Every kind from 0 to 255: the unserved ones build nothing and parse nothing, and no kind
// writes outside the records and buffer it was given.
TEST_F(ReadPath, EveryKindStaysWithinItsRecordsAndBuffer) {
  for (int kind = 0; kind < 256; ++kind) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    IA item = makeItem(static_cast<unsigned char>(kind), 255, 255, 255, 255);
    GuardedRecords records(makeRecord(0.5f, 0));
    const SetOutcome sent = set(item, records.first());
    EXPECT_TRUE(sent.guardIntact);
    const bool queried = kind <= 6;
    EXPECT_EQ(sent.requestCode, queried ? 100u : 0u);
    EXPECT_EQ(sent.requestLength != 0, queried);
    if (!queried && kind != 9) {
      EXPECT_TRUE(sent.bufferUntouched);
    }
    if (kind != 9) {
      EXPECT_TRUE(sameBytes(records[0], makeRecord(0.5f, 0)));
    }

    for (const char* reply : {"RGC# 1 2 3 75", "RGV# 1 VER 1.2 3/4/5", "R", ""}) {
      const GetOutcome got = get(item, records.first(), reply);
      EXPECT_EQ(got.result, 50);
      EXPECT_TRUE(got.parseCode == 2 || got.parseCode == 99);
      if (kind >= 7) {
        EXPECT_EQ(got.parseCode, 99);
      }
      EXPECT_TRUE(records.guardsIntact());
    }
  }
}

TEST_F(ReadPath, ByteZeroOfTheItemAndByteSixOfTheRecordDoNotMatter) {
  IA plain = makeItem(3, 1, 2, 3);
  IA marked = plain;
  marked.fields.hostByte = 0x00;
  GuardedRecords records(makeRecord(0.5f, 0));
  const SetOutcome a = set(plain, records.first());
  records[0].hostByte = 0x01;
  const SetOutcome b = set(marked, records.first());
  EXPECT_EQ(a.line, b.line);
  get(marked, records.first(), "RGC# 1 2 3 75");
  EXPECT_EQ(records[0].hostByte, 0x01);
  EXPECT_EQ(marked.fields.hostByte, 0x00);
}

}  // namespace
}  // namespace zephlor::testing
