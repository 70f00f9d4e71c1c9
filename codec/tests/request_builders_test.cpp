// Every builder, through the exported C functions: the exact line, the length returned and
// stored, and not one byte written past the NUL.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "wirelex.h"

namespace {

using Builder = int32_t (*)(char* line, int32_t* lineLength);

struct BuildCase {
  const char* name;
  Builder build;
  const char* expectedLine;  // without CR LF
};

// Names the case in test listings and failure messages.
void PrintTo(const BuildCase& c, std::ostream* out) { *out << c.name; }

constexpr unsigned char kGuard = 0xA5;

void expectBuilds(const BuildCase& c) {
  SCOPED_TRACE(c.name);
  unsigned char buffer[64];
  memset(buffer, kGuard, sizeof buffer);
  int32_t stored = -1;
  const int32_t returned = c.build(reinterpret_cast<char*>(buffer), &stored);

  const std::string expected = std::string(c.expectedLine) + "\r\n";
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer)), expected);
  EXPECT_EQ(returned, static_cast<int32_t>(expected.size()));
  EXPECT_EQ(stored, returned);
  ASSERT_LE(returned, WIRELEX_MAX_LINE);
  for (size_t i = expected.size() + 1; i < sizeof buffer; ++i) {
    ASSERT_EQ(buffer[i], kGuard) << "byte " << i << " written past the NUL";
  }
}

class QueryBuilders : public testing::TestWithParam<BuildCase> {};

TEST_P(QueryBuilders, WriteTheLineAndItsLength) { expectBuilds(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Codec, QueryBuilders,
    testing::Values(
        BuildCase{"firmware", [](char* l, int32_t* n) { return FillQueryFirmware(7, l, n); },
                  "VGV# 7"},
        BuildCase{"firmware reduces 263 to 7",
                  [](char* l, int32_t* n) { return FillQueryFirmware(263, l, n); }, "VGV# 7"},
        BuildCase{"firmware reduces -1 to 255",
                  [](char* l, int32_t* n) { return FillQueryFirmware(-1, l, n); }, "VGV# 255"},
        BuildCase{"led", [](char* l, int32_t* n) { return FillQueryLEDState(1, 2, 3, l, n); },
                  "VLS# 1 2 3"},
        BuildCase{
            "module level, longest query line",
            [](char* l, int32_t* n) { return FillQueryModuleLoadLevel(255, 255, 255, 255, l, n); },
            "VGB# 255 255 255 255"},
        BuildCase{"station level",
                  [](char* l, int32_t* n) { return FillQueryStationLoadLevel(1, 2, 3, l, n); },
                  "VGC# 1 2 3"},
        BuildCase{"contactor level, zero has one digit",
                  [](char* l, int32_t* n) { return FillQueryContactorLoadLevel(0, l, n); },
                  "VGL# 0"},
        BuildCase{"thermostat, each address reduced",
                  [](char* l, int32_t* n) { return FillQueryThermostat(256, 511, -256, l, n); },
                  "VGH# 0 255 0"},
        BuildCase{
            "switch, extreme arguments",
            [](char* l, int32_t* n) { return FillQuerySwitch(INT32_MIN, INT32_MAX, 100, l, n); },
            "VGS# 0 255 100"}));

class SetBuilders : public testing::TestWithParam<BuildCase> {};

TEST_P(SetBuilders, WriteTheLineAndItsLength) { expectBuilds(GetParam()); }

INSTANTIATE_TEST_SUITE_P(
    Codec, SetBuilders,
    testing::Values(
        BuildCase{"led 256 reduces to 0",
                  [](char* l, int32_t* n) { return FillSetLEDState(1, 2, 3, 256, l, n); },
                  "VLD# 1 2 3 0"},
        BuildCase{"led -1 reduces to 255",
                  [](char* l, int32_t* n) { return FillSetLEDState(1, 2, 3, -1, l, n); },
                  "VLD# 1 2 3 255"},
        BuildCase{
            "module level without modifier",
            [](char* l, int32_t* n) { return FillSetModuleLoadLevel(1, 2, 3, 4, 50, 0, l, n); },
            "VLB# 1 2 3 4 50"},
        BuildCase{
            "module level with modifier",
            [](char* l, int32_t* n) { return FillSetModuleLoadLevel(1, 2, 3, 4, 50, 7, l, n); },
            "VLB# 1 2 3 4 50 7"},
        BuildCase{
            "modifier 65536 has low 16 bits 0: short form",
            [](char* l, int32_t* n) { return FillSetModuleLoadLevel(1, 2, 3, 4, 50, 65536, l, n); },
            "VLB# 1 2 3 4 50"},
        BuildCase{
            "modifier 70000 reduces to 4464",
            [](char* l, int32_t* n) { return FillSetModuleLoadLevel(1, 2, 3, 4, 50, 70000, l, n); },
            "VLB# 1 2 3 4 50 4464"},
        BuildCase{
            "modifier -1 reduces to 65535",
            [](char* l, int32_t* n) { return FillSetModuleLoadLevel(1, 2, 3, 4, 50, -1, l, n); },
            "VLB# 1 2 3 4 50 65535"},
        BuildCase{"longest line of the protocol",
                  [](char* l, int32_t* n) {
                    return FillSetModuleLoadLevel(255, 255, 255, 255, 255, 65535, l, n);
                  },
                  "VLB# 255 255 255 255 255 65535"},
        BuildCase{"station level",
                  [](char* l, int32_t* n) { return FillSetStationLoadLevel(1, 2, 3, 75, 0, l, n); },
                  "VLC# 1 2 3 75"},
        BuildCase{
            "station level with modifier",
            [](char* l, int32_t* n) { return FillSetStationLoadLevel(1, 2, 3, 331, 7, l, n); },
            "VLC# 1 2 3 75 7"},
        BuildCase{"contactor level with modifier",
                  [](char* l, int32_t* n) { return FillSetContactorLoadLevel(4, 100, 5, l, n); },
                  "VLO# 4 100 5"},
        BuildCase{"contactor level without modifier",
                  [](char* l, int32_t* n) { return FillSetContactorLoadLevel(4, 100, 0, l, n); },
                  "VLO# 4 100"},
        BuildCase{"thermostat negative, whole",
                  [](char* l, int32_t* n) { return FillSetThermostat(1, 2, 3, -5, l, n); },
                  "VSH# 1 2 3 -5"},
        BuildCase{"thermostat 300 is not reduced",
                  [](char* l, int32_t* n) { return FillSetThermostat(1, 2, 3, 300, l, n); },
                  "VSH# 1 2 3 300"},
        BuildCase{
            "thermostat most negative",
            [](char* l, int32_t* n) { return FillSetThermostat(255, 255, 255, INT32_MIN, l, n); },
            "VSH# 255 255 255 -2147483648"},
        BuildCase{"switch", [](char* l, int32_t* n) { return FillSetSwitch(9, 8, 7, 1, l, n); },
                  "VSW# 9 8 7 1"},
        BuildCase{
            "module profile",
            [](char* l, int32_t* n) { return FillSetModuleLoadProfile(1, 2, 3, 4, 511, l, n); },
            "VLP# 1 2 3 4 255"},
        BuildCase{"station profile",
                  [](char* l, int32_t* n) { return FillSetStationLoadProfile(1, 2, 3, 12, l, n); },
                  "VSP# 1 2 3 12"}));

// The line of each builder at its widest arguments must fit in WIRELEX_MAX_LINE + 1 bytes, the
// buffer size the header promises is enough for every builder.
TEST(Builders, WidestLinesFitTheAdvertisedBuffer) {
  char line[WIRELEX_MAX_LINE + 1];
  int32_t length = 0;
  const int32_t lengths[] = {
      FillQueryFirmware(255, line, &length),
      FillQueryModuleLoadLevel(255, 255, 255, 255, line, &length),
      FillSetLEDState(255, 255, 255, 255, line, &length),
      FillSetModuleLoadLevel(255, 255, 255, 255, 255, 65535, line, &length),
      FillSetStationLoadLevel(255, 255, 255, 255, 65535, line, &length),
      FillSetContactorLoadLevel(255, 255, 65535, line, &length),
      FillSetThermostat(255, 255, 255, INT32_MIN, line, &length),
      FillSetModuleLoadProfile(255, 255, 255, 255, 255, line, &length),
  };
  const int32_t expected[] = {10, 22, 22, 32, 28, 20, 30, 26};
  for (size_t i = 0; i < sizeof lengths / sizeof lengths[0]; ++i) {
    EXPECT_EQ(lengths[i], expected[i]) << "builder " << i;
  }
}

}  // namespace
