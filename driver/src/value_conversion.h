// Conversions between the host's float values and the protocol's whole numbers.
#pragma once

#include <stdint.h>

#include "osterfell/host_records.h"

namespace osterfell {

// Truncates toward zero. A truncation outside the signed 32-bit range passes on its low 32 bits
// (taken from the 64-bit truncation); NaN, infinities and values beyond the 64-bit range give 0.
// Works on the bits of the float, so it cannot trap, is free of undefined behaviour and does not
// depend on the processor's rounding mode.
int32_t truncateToWhole(float value);

// The float nearest to `whole`, ties to even, as the default rounding mode gives it. Built from
// the bits, so a host that changed the processor's rounding mode still reads the same value.
float wholeToFloat(int32_t whole);

// The value a write carries: the float in the record, or, for valueType 64, the 16-bit unsigned
// little-endian integer in its first two bytes.
float valueToWrite(const RSDATA& record);

}  // namespace osterfell
