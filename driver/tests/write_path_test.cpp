// Write transactions through the entry points: the set line of each kind, the acknowledgement
// judged against the value sent, and the driver-wide level modifier.
#include <limits>

#include "driver_fixture.h"

namespace zephlor::testing {
namespace {

class WritePath : public DriverTest {
 protected:
  // A whole write transaction: Set_xxx, then Get_xxx on `acknowledgement`. Returns the line sent
  // and leaves the record's status for the caller to inspect.
  std::string write(IA& item, RSDATA& record, const std::string& acknowledgement) {
    const SetOutcome sent = set(item, &record);
    EXPECT_TRUE(sent.guardIntact);
    EXPECT_EQ(sent.requestCode, sent.requestLength != 0 ? 100u : 0u);
    EXPECT_EQ(sent.requestLength, sent.line.size());
    const RSDATA beforeGet = record;
    const GetOutcome got = get(item, &record, acknowledgement);
    EXPECT_EQ(got.result, 50);
    EXPECT_EQ(got.recordCount, kUnsetCount) << "a write leaves recordCount alone";
    EXPECT_EQ(got.parseCode, kUnsetParseCode) << "a write leaves parseCode alone";
    EXPECT_EQ(memcmp(&record.value, &beforeGet.value, sizeof record.value), 0);
    return sent.line;
  }

  void setModifier(float value) {
    IA modifier = makeItem(9);
    RSDATA record = makeRecord(value, 1);
    write(modifier, record, "");
    EXPECT_EQ(record.status, 0);
  }

  float readModifier() {
    IA modifier = makeItem(9);
    RSDATA record = makeRecord(-1.0f, 0);
    set(modifier, &record);
    return record.value;
  }
};

struct WriteCase {
  const char* name;
  IA item;
  float value;
  const char* request;  // without CR LF
  const char* echo;     // the controller's acknowledgement of the value it received
};

// Names the case in test listings and failure messages.
void PrintTo(const WriteCase& c, std::ostream* out) { *out << c.name; }

class WriteEachKind : public WritePath, public ::testing::WithParamInterface<WriteCase> {};

TEST_P(WriteEachKind, SendsTheValueAndConfirmsItsEcho) {
  WriteCase c = GetParam();
  RSDATA record = makeRecord(c.value, 1);
  EXPECT_EQ(write(c.item, record, c.echo), std::string(c.request) + "\r\n");
  EXPECT_EQ(record.status, 0) << "confirmed";
  EXPECT_EQ(record.hostByte, 0x66);

  // The same write, echoed with a value one off, is not confirmed.
  std::string wrongEcho = c.echo;
  wrongEcho.back() = wrongEcho.back() == '9' ? '8' : static_cast<char>(wrongEcho.back() + 1);
  record = makeRecord(c.value, 1);
  write(c.item, record, wrongEcho);
  EXPECT_EQ(record.status, 1) << wrongEcho;
}

INSTANTIATE_TEST_SUITE_P(
    Driver, WriteEachKind,
    ::testing::Values(
        WriteCase{"led", makeItem(1, 1, 2, 3, 4), 1.0f, "VLD# 1 2 3 1", "RLD# 1 2 3 1"},
        WriteCase{"led 300 goes out as 44", makeItem(1, 1, 2, 3), 300.0f, "VLD# 1 2 3 44",
                  "RLD# 1 2 3 44"},
        WriteCase{"module level", makeItem(2, 1, 2, 3, 4), 50.0f, "VLB# 1 2 3 4 50",
                  "RLB# 1 2 3 4 50"},
        WriteCase{"station level truncated", makeItem(3, 1, 2, 3), 75.6f, "VLC# 1 2 3 75",
                  "RLC# 1 2 3 75"},
        WriteCase{"contactor level", makeItem(4, 4), 100.0f, "VLO# 4 100", "RLO# 4 100"},
        WriteCase{"thermostat negative", makeItem(5, 1, 2, 3), -2.7f, "VSH# 1 2 3 -2",
                  "RSH# 1 2 3 -2"},
        WriteCase{"thermostat whole", makeItem(5, 1, 2, 3), 300.0f, "VSH# 1 2 3 300",
                  "RSH# 1 2 3 300"},
        WriteCase{"switch", makeItem(6, 1, 2, 3), 1.0f, "VSW# 1 2 3 1", "RSW# 1 2 3 1"},
        WriteCase{"module profile", makeItem(7, 1, 2, 3, 4), 3.0f, "VLP# 1 2 3 4 3",
                  "RLP# 1 2 3 4 3"},
        WriteCase{"station profile", makeItem(8, 1, 2, 3), 0.9f, "VSP# 1 2 3 0", "RSP# 1 2 3 0"}));

TEST_F(WritePath, SixteenBitValueTypeReadsTwoBytes) {
  IA item = makeItem(5, 1, 2, 3);
  RSDATA record = makeRecord(0.0f, 1, kValueTypeUnsigned16);
  const unsigned char bytes[4] = {44, 1, 0xFF, 0xFF};  // 300, then bytes that are not read
  memcpy(&record.value, bytes, sizeof bytes);
  EXPECT_EQ(write(item, record, "RSH# 1 2 3 300"), "VSH# 1 2 3 300\r\n");
  EXPECT_EQ(record.status, 0);
  EXPECT_EQ(memcmp(&record.value, bytes, sizeof bytes), 0) << "a write never changes the value";
}

TEST_F(WritePath, LevelModifierIsCarriedByTheLoadLevelLinesOnly) {
  EXPECT_EQ(readModifier(), 0.0f);
  setModifier(7.0f);
  EXPECT_EQ(readModifier(), 7.0f);

  const struct {
    IA item;
    const char* line;
  } expected[] = {
      {makeItem(2, 1, 2, 3, 4), "VLB# 1 2 3 4 75 7\r\n"},
      {makeItem(3, 1, 2, 3), "VLC# 1 2 3 75 7\r\n"},
      {makeItem(4, 4), "VLO# 4 75 7\r\n"},
      {makeItem(1, 1, 2, 3), "VLD# 1 2 3 75\r\n"},
      {makeItem(7, 1, 2, 3, 4), "VLP# 1 2 3 4 75\r\n"},
  };
  for (auto e : expected) {
    RSDATA record = makeRecord(75.6f, 1);
    EXPECT_EQ(set(e.item, &record).line, e.line);
  }
  // The acknowledgement has no modifier field; a trailing one is ignored.
  IA station = makeItem(3, 1, 2, 3);
  RSDATA record = makeRecord(75.0f, 1);
  write(station, record, "RLC# 1 2 3 75 7");
  EXPECT_EQ(record.status, 0);

  setModifier(0.0f);
  record = makeRecord(75.0f, 1);
  EXPECT_EQ(write(station, record, "RLC# 1 2 3 75"), "VLC# 1 2 3 75\r\n") << "short form again";
}

TEST_F(WritePath, ModifierIsKeptToSixteenBits) {
  const struct {
    float written;
    float readBack;
  } cases[] = {{40.9f, 40.0f},      {65535.0f, 65535.0f},
               {70000.0f, 4464.0f}, {-1.0f, 65535.0f},
               {-0.5f, 0.0f},       {std::numeric_limits<float>::quiet_NaN(), 0.0f}};
  for (auto c : cases) {
    IA modifier = makeItem(9);
    RSDATA record = makeRecord(c.written, 1);
    const SetOutcome sent = set(modifier, &record);
    EXPECT_EQ(sent.requestLength, 0u);
    EXPECT_EQ(sent.requestCode, 0u);
    EXPECT_TRUE(sent.bufferUntouched);
    EXPECT_EQ(readModifier(), c.readBack) << c.written;
  }
}

TEST_F(WritePath, FreshLoadStartsWithoutModifier) {
  setModifier(40.0f);
  reload();
  EXPECT_EQ(readModifier(), 0.0f);
}

// The acknowledgement is judged against the most recent write, whichever item it was for: the
// host must finish one write before it starts the next.
TEST_F(WritePath, SecondWriteReplacesTheRememberedValue) {
  IA itemA = makeItem(6, 1, 1, 1);
  IA itemB = makeItem(6, 2, 2, 2);
  RSDATA recordA = makeRecord(10.0f, 1);
  RSDATA recordB = makeRecord(20.0f, 1);
  set(itemA, &recordA);
  set(itemB, &recordB);
  get(itemA, &recordA, "RSW# 1 1 1 10");
  EXPECT_EQ(recordA.status, 1);
  get(itemA, &recordA, "RSW# 1 1 1 20");
  EXPECT_EQ(recordA.status, 0);
}

TEST_F(WritePath, BadAcknowledgementsAreNotConfirmed) {
  IA item = makeItem(3, 1, 2, 3);
  for (const char* reply : {"RLC# 1 2 3 74", "RGC# 1 2 3 75", "RLB# 1 2 3 4 75", "RLC# 1 2 3",
                            "RLC# 1 2 3 331", "", " RLC# 1 2 3 75", "RLC# 1 2 3 99999999999"}) {
    RSDATA record = makeRecord(75.0f, 1);
    write(item, record, reply);
    EXPECT_EQ(record.status, 1) << reply;
  }
}

// Kinds without a set command build nothing but still take the value, and are never confirmed.
TEST_F(WritePath, EveryKindStaysWithinItsRecordAndBuffer) {
  for (int kind = 0; kind < 256; ++kind) {
    SCOPED_TRACE("kind " + std::to_string(kind));
    IA item = makeItem(static_cast<unsigned char>(kind), 255, 255, 255, 255);
    GuardedRecords records(makeRecord(1e30f, 1));
    const SetOutcome sent = set(item, records.first());
    EXPECT_TRUE(sent.guardIntact);
    const bool writable = kind >= 1 && kind <= 8;
    EXPECT_EQ(sent.requestCode, writable ? 100u : 0u);
    if (!writable) {
      EXPECT_TRUE(sent.bufferUntouched);
    }
    EXPECT_TRUE(sameBytes(records[0], makeRecord(1e30f, 1))) << "Set_xxx never changes it";

    get(item, records.first(), "RLC# 1 2 3 0");
    const unsigned char expectedStatus = kind == 9 || kind == 3 ? 0 : 1;
    EXPECT_EQ(records[0].status, expectedStatus);
    EXPECT_TRUE(sameBytes(records[1], makeRecord(1e30f, 1)));
    EXPECT_TRUE(records.guardsIntact());
  }
}

TEST_F(WritePath, ExtremeValuesNeverLengthenTheLine) {
  const float values[] = {std::numeric_limits<float>::infinity(),
                          -std::numeric_limits<float>::infinity(),
                          std::numeric_limits<float>::quiet_NaN(),
                          std::numeric_limits<float>::max(),
                          std::numeric_limits<float>::lowest(),
                          -2147483648.0f,
                          2147483520.0f};
  setModifier(65535.0f);
  for (float value : values) {
    for (int kind = 1; kind <= 8; ++kind) {
      IA item = makeItem(static_cast<unsigned char>(kind), 255, 255, 255, 255);
      RSDATA record = makeRecord(value, 1);
      const SetOutcome sent = set(item, &record);
      EXPECT_LE(sent.requestLength, 32u) << "kind " << kind << " value " << value;
      EXPECT_TRUE(sent.guardIntact);
    }
  }
}

TEST_F(WritePath, KindZeroWriteTakesTheValueButIsNotConfirmed) {
  IA firmware = makeItem(0, 1);
  RSDATA record = makeRecord(44.0f, 1);
  write(firmware, record, "RLD# 1 2 3 44");
  EXPECT_EQ(record.status, 1);
  // Its value is now the one an acknowledgement is judged against.
  IA led = makeItem(1, 1, 2, 3);
  RSDATA ledRecord = makeRecord(0.0f, 1);
  get(led, &ledRecord, "RLD# 1 2 3 44");
  EXPECT_EQ(ledRecord.status, 0);
}

}  // namespace
}  // namespace zephlor::testing
