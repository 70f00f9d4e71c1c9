// The acknowledgement parsers: shape, and the echo compared with the expected value reduced as
// the builder reduced it.
#include <gtest/gtest.h>

#include <string>

#include "wirelex.h"

namespace {

using AcknowledgementParser = bool (*)(const char*, int32_t);

struct AckCase {
  const char* name;
  AcknowledgementParser parse;
  const char* reply;
  int32_t expected;
  bool confirmed;
};

// Names the case in test listings and failure messages.
void PrintTo(const AckCase& c, std::ostream* out) { *out << c.name; }

class AcknowledgementParsers : public testing::TestWithParam<AckCase> {};

TEST_P(AcknowledgementParsers, ConfirmOnlyTheirEchoOfTheValue) {
  const AckCase& c = GetParam();
  EXPECT_EQ(c.parse(c.reply, c.expected), c.confirmed)
      << c.name << ": " << c.reply << " expecting " << c.expected;
}

INSTANTIATE_TEST_SUITE_P(
    Codec, AcknowledgementParsers,
    testing::Values(
        AckCase{"station", ParseSetStationLoadLevel, "RLC# 1 2 3 75\r\n", 75, true},
        AckCase{"expected reduced to 8 bits", ParseSetStationLoadLevel, "RLC# 1 2 3 75", 331, true},
        AckCase{"echo compared at full width", ParseSetStationLoadLevel, "RLC# 1 2 3 331", 331,
                false},
        AckCase{"another value", ParseSetStationLoadLevel, "RLC# 1 2 3 74", 75, false},
        AckCase{"other addresses still confirm", ParseSetStationLoadLevel, "RLC# 7 7 7 75", 75,
                true},
        AckCase{"query reply refused", ParseSetStationLoadLevel, "RGC# 1 2 3 75", 75, false},
        AckCase{"too few fields", ParseSetStationLoadLevel, "RLC# 1 2 75", 75, false},
        AckCase{"led -1 means 255", ParseSetLEDState, "RLD# 1 2 3 255", -1, true},
        AckCase{"led echo -1 never matches", ParseSetLEDState, "RLD# 1 2 3 -1", 255, false},
        AckCase{"thermostat whole", ParseSetThermostat, "RSH# 1 2 3 300", 300, true},
        AckCase{"thermostat not reduced", ParseSetThermostat, "RSH# 1 2 3 300", 44, false},
        AckCase{"thermostat negative", ParseSetThermostat, "RSH# 1 2 3 -5", -5, true},
        AckCase{"thermostat most negative", ParseSetThermostat, "RSH# 1 2 3 -2147483648", INT32_MIN,
                true},
        AckCase{"field after the value ignored", ParseSetModuleLoadLevel, "RLB# 1 2 3 4 50 7", 50,
                true},
        AckCase{"module", ParseSetModuleLoadLevel, "RLB# 1 2 3 4 50", 50, true},
        AckCase{"contactor", ParseSetContactorLoadLevel, "RLO# 4 100", 100, true},
        AckCase{"contactor without value", ParseSetContactorLoadLevel, "RLO# 4", 100, false},
        AckCase{"switch", ParseSetSwitch, "RSW# 1 2 3 1", 1, true},
        AckCase{"switch given led echo", ParseSetSwitch, "RLD# 1 2 3 1", 1, false},
        AckCase{"module profile", ParseSetModuleLoadProfile, "RLP# 1 2 3 4 9", 265, true},
        AckCase{"station profile", ParseSetStationLoadProfile, "RSP# 1 2 3 9", 9, true},
        AckCase{"station profile wrong value", ParseSetStationLoadProfile, "RSP# 1 2 3 9", 10,
                false},
        AckCase{"echo beyond 32 bits", ParseSetThermostat, "RSH# 1 2 3 4294967296", 0, false},
        AckCase{"echoed address beyond 32 bits", ParseSetSwitch, "RSW# 4294967297 2 3 1", 1, false},
        AckCase{"empty", ParseSetSwitch, "", 0, false}));

}  // namespace
