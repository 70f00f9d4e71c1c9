// The float-to-whole-number conversion of the write path, at its boundaries, and checked
// against the language's own truncation wherever that is defined.
#include "value_conversion.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

namespace osterfell {
namespace {

float floatFromBits(uint32_t bits) {
  float value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

struct Conversion {
  float value;
  int32_t expected;
};

TEST(TruncateToWhole, Boundaries) {
  constexpr float kInf = std::numeric_limits<float>::infinity();
  const Conversion cases[] = {
      {0.0f, 0},
      {-0.0f, 0},
      {0.9f, 0},
      {-0.9f, 0},
      {2.7f, 2},
      {-2.7f, -2},
      {75.6f, 75},
      {1.0f, 1},
      {16777216.0f, 16777216},
      {2147483520.0f, 2147483520},  // the largest float below 2^31
      {2147483648.0f, INT32_MIN},   // 2^31: low 32 bits of the 64-bit truncation
      {-2147483648.0f, INT32_MIN},
      {4294967296.0f, 0},            // 2^32
      {4294967808.0f, 512},          // 2^32 + 512
      {-4294967808.0f, -512},        // its negative
      {3000000000.0f, -1294967296},  // wraps
      {9223371487098961920.0f, 0},   // the largest float below 2^63: low 32 bits are 0
      {9223372036854775808.0f, 0},   // 2^63: beyond the 64-bit range
      {-9223372036854775808.0f, 0},  // -2^63: in range, low 32 bits 0
      {1e30f, 0},
      {-1e30f, 0},
      {kInf, 0},
      {-kInf, 0},
      {std::numeric_limits<float>::quiet_NaN(), 0},
      {-std::numeric_limits<float>::quiet_NaN(), 0},
      {std::numeric_limits<float>::signaling_NaN(), 0},
      {std::numeric_limits<float>::denorm_min(), 0},
      {-std::numeric_limits<float>::denorm_min(), 0},
      {std::numeric_limits<float>::min(), 0},
      {floatFromBits(0x7F800001u), 0},  // a NaN with payload
  };
  for (const Conversion& c : cases) {
    EXPECT_EQ(truncateToWhole(c.value), c.expected) << c.value;
  }
}

// Where the result fits in 64 bits, the conversion must equal the low 32 bits of the language's
// truncation of the value, for every exponent and a spread of fractions.
TEST(TruncateToWhole, AgreesWithLanguageTruncationWhereDefined) {
  std::mt19937 random(20261208);
  for (int i = 0; i < 200000; ++i) {
    const float value = floatFromBits(static_cast<uint32_t>(random()));
    if (std::isnan(value) || std::fabs(value) >= 9223372036854775808.0f) continue;
    const int64_t wide = static_cast<int64_t>(value);
    const int32_t low = static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(wide)));
    ASSERT_EQ(truncateToWhole(value), low) << value;
  }
}

TEST(TruncateToWhole, IgnoresTheRoundingMode) {
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(fesetround(mode), 0);
    EXPECT_EQ(truncateToWhole(2.7f), 2);
    EXPECT_EQ(truncateToWhole(-2.7f), -2);
    EXPECT_EQ(truncateToWhole(0.5f), 0);
  }
  fesetround(FE_TONEAREST);
}

// A read's whole number becomes the nearest float, ties to even, whatever mode the host set.
TEST(WholeToFloat, RoundsToNearestInEveryRoundingMode) {
  const std::pair<int32_t, float> cases[] = {
      {0, 0.0f},
      {-1, -1.0f},
      {16777216, 16777216.0f},
      {16777217, 16777216.0f},  // a tie, to the even significand
      {16777219, 16777220.0f},  // a tie, up to the even significand
      {-16777219, -16777220.0f},
      {33554435, 33554436.0f},  // above the half
      {2147483647, 2147483648.0f},
      {INT32_MIN, -2147483648.0f},
  };
  for (int mode : {FE_TONEAREST, FE_UPWARD, FE_DOWNWARD, FE_TOWARDZERO}) {
    ASSERT_EQ(fesetround(mode), 0);
    for (const auto& [whole, expected] : cases) EXPECT_EQ(wholeToFloat(whole), expected) << whole;
  }
  fesetround(FE_TONEAREST);
  std::mt19937 random(20261208);
  for (int i = 0; i < 200000; ++i) {
    const auto whole = static_cast<int32_t>(random());
    ASSERT_EQ(wholeToFloat(whole), static_cast<float>(whole)) << whole;
  }
}

TEST(ValueToWrite, SixteenBitIntegerOrFloat) {
  RSDATA record{};
  record.valueType = kValueTypeUnsigned16;
  unsigned char bytes[4] = {44, 1, 0xFF, 0x7F};  // 300, then bytes that must not be read
  memcpy(&record.value, bytes, sizeof bytes);
  EXPECT_EQ(valueToWrite(record), 300.0f);
  bytes[0] = 0xFF;
  bytes[1] = 0xFF;
  memcpy(&record.value, bytes, sizeof bytes);
  EXPECT_EQ(valueToWrite(record), 65535.0f);

  record.valueType = 0;
  record.value = -2.7f;
  EXPECT_EQ(valueToWrite(record), -2.7f);
  record.valueType = 65;
  record.value = std::numeric_limits<float>::infinity();
  EXPECT_EQ(valueToWrite(record), std::numeric_limits<float>::infinity());
}

}  // namespace
}  // namespace osterfell
