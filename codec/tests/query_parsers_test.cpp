// The query parsers: which replies are accepted, what is handed back, and that a refused reply
// leaves `out` as it was.
#include <gtest/gtest.h>

#include <string>

#include "wirelex.h"

namespace {

using QueryParser = bool (*)(const char*, int32_t*);

struct ParseCase {
  const char* name;
  QueryParser parse;
  const char* reply;
  bool accepted;
  int32_t value;  // what `out` must hold afterwards; the sentinel when refused
};

// Names the case in test listings and failure messages.
void PrintTo(const ParseCase& c, std::ostream* out) { *out << c.name; }

constexpr int32_t kUntouched = 0x5EED;

class QueryParsers : public testing::TestWithParam<ParseCase> {};

TEST_P(QueryParsers, AcceptOnlyTheirShape) {
  const ParseCase& c = GetParam();
  int32_t out = kUntouched;
  EXPECT_EQ(c.parse(c.reply, &out), c.accepted) << c.name << ": " << c.reply;
  EXPECT_EQ(out, c.accepted ? c.value : kUntouched) << c.name;
}

INSTANTIATE_TEST_SUITE_P(
    Codec, QueryParsers,
    testing::Values(
        ParseCase{"station", ParseStationLoadLevel, "RGC# 1 2 3 75\r\n", true, 75},
        ParseCase{"other addresses are not compared", ParseStationLoadLevel, "RGC# 9 9 9 75", true,
                  75},
        ParseCase{"three fields only", ParseStationLoadLevel, "RGC# 1 2 3", false, 0},
        ParseCase{"leading blank", ParseStationLoadLevel, " RGC# 1 2 3 75", false, 0},
        ParseCase{"lower case", ParseStationLoadLevel, "rgc# 1 2 3 75", false, 0},
        ParseCase{"no blank after #", ParseStationLoadLevel, "RGC#1 2 3 75", true, 75},
        ParseCase{"tabs and runs of blanks", ParseStationLoadLevel, "RGC#\t1  2\r3 \n75", true, 75},
        ParseCase{"vertical tab and form feed are white space", ParseStationLoadLevel,
                  "RGC#\v1\f2 3 75", true, 75},
        ParseCase{"negative value", ParseStationLoadLevel, "RGC# 1 2 3 -5", true, -5},
        ParseCase{"plus sign", ParseStationLoadLevel, "RGC# 1 2 3 +5", true, 5},
        ParseCase{"extra field ignored", ParseStationLoadLevel, "RGC# 1 2 3 75 99", true, 75},
        ParseCase{"trailing text ignored", ParseStationLoadLevel, "RGC# 1 2 3 75xyz", true, 75},
        ParseCase{"set acknowledgement", ParseStationLoadLevel, "RLC# 1 2 3 75", false, 0},
        ParseCase{"empty", ParseStationLoadLevel, "", false, 0},
        ParseCase{"frame only", ParseStationLoadLevel, "RGC#", false, 0},
        ParseCase{"bare sign", ParseStationLoadLevel, "RGC# 1 2 3 -", false, 0},
        ParseCase{"letter in a field", ParseStationLoadLevel, "RGC# 1 2 x 75", false, 0},
        ParseCase{"largest field", ParseStationLoadLevel, "RGC# 1 2 3 2147483647", true, INT32_MAX},
        ParseCase{"smallest field", ParseStationLoadLevel, "RGC# 1 2 3 -2147483648", true,
                  INT32_MIN},
        ParseCase{"field beyond 32 bits", ParseStationLoadLevel, "RGC# 1 2 3 2147483648", false, 0},
        ParseCase{"echoed address beyond 32 bits", ParseStationLoadLevel, "RGC# 1 4294967297 3 75",
                  false, 0},
        ParseCase{"long run of digits", ParseStationLoadLevel,
                  "RGC# 1 2 3 99999999999999999999999999", false, 0},
        ParseCase{"leading zeros", ParseStationLoadLevel, "RGC# 1 2 3 000000000000075", true, 75},
        ParseCase{"led", ParseLEDState, "RLS# 1 2 3 1", true, 1},
        ParseCase{"led value not limited", ParseLEDState, "RLS# 1 2 3 300", true, 300},
        ParseCase{"module", ParseModuleLoadLevel, "RGB# 1 2 3 4 80", true, 80},
        ParseCase{"module short one field", ParseModuleLoadLevel, "RGB# 1 2 3 80", false, 0},
        ParseCase{"contactor", ParseContactorLoadLevel, "RGL# 4 100", true, 100},
        ParseCase{"contactor no value", ParseContactorLoadLevel, "RGL# 4", false, 0},
        ParseCase{"thermostat", ParseThermostat, "RGH# 1 2 3 -40", true, -40},
        ParseCase{"switch", ParseSwitch, "RGS# 1 2 3 1", true, 1},
        ParseCase{"switch given a station reply", ParseSwitch, "RGC# 1 2 3 1", false, 0}));

struct FirmwareCase {
  const char* reply;
  bool accepted;
  FirmwareInfo after;  // starting from kFirmwareUntouched
};

// Names the case in test listings and failure messages.
void PrintTo(const FirmwareCase& c, std::ostream* out) { *out << c.reply; }

constexpr FirmwareInfo kFirmwareUntouched = {-1, -2, -3, -4, -5};

class FirmwareParser : public testing::TestWithParam<FirmwareCase> {};

TEST_P(FirmwareParser, FillsSlotsInOrderAsFieldsConvert) {
  const FirmwareCase& c = GetParam();
  FirmwareInfo info = kFirmwareUntouched;
  EXPECT_EQ(ParseFirmware(c.reply, &info), c.accepted) << c.reply;
  EXPECT_EQ(info.versionMajor, c.after.versionMajor);
  EXPECT_EQ(info.versionMinor, c.after.versionMinor);
  EXPECT_EQ(info.date2, c.after.date2);
  EXPECT_EQ(info.date1, c.after.date1);
  EXPECT_EQ(info.date3, c.after.date3);
}

INSTANTIATE_TEST_SUITE_P(
    Codec, FirmwareParser,
    testing::Values(
        // The date's first two numbers land crosswise: slot order 2, 10, 22, 11, 33.
        FirmwareCase{"RGV# 1 VER 2.10 11/22/33\r\n", true, {2, 10, 22, 11, 33}},
        FirmwareCase{"RGV# 1 VER 2.05 11/22/33", true, {2, 5, 22, 11, 33}},
        FirmwareCase{"RGV# 1 VER 3.2 12/25/4", true, {3, 2, 25, 12, 4}},
        FirmwareCase{"RGV#1VER3.2 12/25/4", true, {3, 2, 25, 12, 4}},
        FirmwareCase{"RGV# 1 VER 2.10", false, {2, 10, -3, -4, -5}},
        FirmwareCase{"RGV# 1 VER 2.10 11-22-33", false, {2, 10, -3, 11, -5}},
        FirmwareCase{"RGV# 1 ver 2.10 11/22/33", false, kFirmwareUntouched},
        FirmwareCase{"RGV# 1 VER 2,10 11/22/33", false, {2, -2, -3, -4, -5}},
        FirmwareCase{"RGC# 1 2 3 75", false, kFirmwareUntouched},
        FirmwareCase{"", false, kFirmwareUntouched}));

}  // namespace
