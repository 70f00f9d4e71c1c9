#include "value_conversion.h"

#include <string.h>

namespace osterfell {

int32_t truncateToWhole(float value) {
  uint32_t bits;
  memcpy(&bits, &value, sizeof bits);
  const bool negative = (bits >> 31) != 0;
  const int biasedExponent = static_cast<int>((bits >> 23) & 0xFFu);
  const uint32_t fraction = bits & 0x7FFFFFu;

  constexpr int kBias = 127;
  constexpr int kFractionBits = 23;
  if (biasedExponent == 0xFF) return 0;  // NaN or infinity
  const int exponent = biasedExponent - kBias;
  if (exponent < 0) return 0;    // magnitude below 1, zeros and subnormals included
  if (exponent >= 63) return 0;  // beyond the 64-bit range (-2^63 itself has low 32 bits 0)

  const uint64_t significand = fraction | (1u << kFractionBits);
  const uint64_t magnitude = exponent >= kFractionBits ? significand << (exponent - kFractionBits)
                                                       : significand >> (kFractionBits - exponent);
  const uint32_t low = static_cast<uint32_t>(negative ? 0u - magnitude : magnitude);
  // Two's complement reading of the low 32 bits, spelled out so it is defined behaviour in C++17.
  return low <= 0x7FFFFFFFu ? static_cast<int32_t>(low)
                            : static_cast<int32_t>(low - 0x80000000u) - 0x7FFFFFFF - 1;
}

float wholeToFloat(int32_t whole) {
  const bool negative = whole < 0;
  const uint32_t magnitude =
      negative ? 0u - static_cast<uint32_t>(whole) : static_cast<uint32_t>(whole);
  if (magnitude == 0) return 0.0f;

  constexpr int kBias = 127;
  constexpr int kFractionBits = 23;
  int exponent = 31;
  while ((magnitude >> exponent) == 0) --exponent;
  uint32_t significand;
  if (exponent <= kFractionBits) {
    significand = magnitude << (kFractionBits - exponent);
  } else {
    // More than 24 significant bits: round the dropped ones to nearest, ties to even.
    const int dropped = exponent - kFractionBits;
    significand = magnitude >> dropped;
    const uint32_t rest = magnitude & ((1u << dropped) - 1u);
    const uint32_t half = 1u << (dropped - 1);
    if (rest > half || (rest == half && (significand & 1u) != 0)) ++significand;
    if (significand == (1u << (kFractionBits + 1))) {  // rounded up to the next power of two
      significand >>= 1;
      ++exponent;
    }
  }
  const uint32_t bits = (negative ? 0x80000000u : 0u) |
                        (static_cast<uint32_t>(exponent + kBias) << kFractionBits) |
                        (significand & 0x7FFFFFu);
  float value;
  memcpy(&value, &bits, sizeof value);
  return value;
}

float valueToWrite(const RSDATA& record) {
  if (record.valueType == kValueTypeUnsigned16) {
    unsigned char bytes[2];
    memcpy(bytes, &record.value, sizeof bytes);
    return static_cast<float>(bytes[0] | (bytes[1] << 8));
  }
  return record.value;
}

}  // namespace osterfell
