// What sets the fifteen exchanges of the protocol apart from one another. Framing, number
// formatting and reply scanning are shared; each exchange only says its mnemonic, how many
// address numbers it carries, the width of its set value and the layout of its reply.
#pragma once

#include <stdint.h>

namespace wirelex {

enum class SetValue : uint8_t {
  kNone,   // a query: no value follows the address numbers
  kByte,   // reduced to its low 8 bits, on the request line and when comparing the echo
  kWhole,  // a signed 32-bit number written and compared whole (the thermostat set point)
};

struct Exchange {
  char mnemonic[3];
  uint8_t addressCount;  // address numbers on the request line, echoed first in the reply
  SetValue setValue;
  bool takesModifier;   // the optional trailing 16-bit level modifier of the load level sets
  uint8_t replyFields;  // fields a reply must yield to be accepted; the value field is the last
  // The text in front of each reply field, in scanning notation (a blank matches any run of
  // white space). Null means one blank in front of every field.
  const char* const* replySeparators;
};

enum class ExchangeId : uint8_t {
  kQueryFirmware,
  kQueryLedState,
  kQueryModuleLoadLevel,
  kQueryStationLoadLevel,
  kQueryContactorLoadLevel,
  kQueryThermostat,
  kQuerySwitch,
  kSetLedState,
  kSetModuleLoadLevel,
  kSetStationLoadLevel,
  kSetContactorLoadLevel,
  kSetThermostat,
  kSetSwitch,
  kSetModuleLoadProfile,
  kSetStationLoadProfile,
};

const Exchange& exchangeFor(ExchangeId id);

// The most fields any reply carries (the firmware reply).
constexpr int kMaxReplyFields = 6;

}  // namespace wirelex
