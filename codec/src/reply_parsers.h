// The three ways a reply is judged once it has been scanned: a query hands back its value field,
// the firmware query fills a FirmwareInfo, an acknowledgement compares its echo.
#pragma once

#include <stdint.h>

#include "exchange_table.h"
#include "wirelex.h"

namespace wirelex {

// Stores the value field through `out` only when the reply is accepted.
bool parseQueryValue(ExchangeId id, const char* reply, int32_t* out);

// Stores each field into its slot as soon as it is converted, so a reply that breaks off early
// leaves the slots of the fields before the break written.
bool parseFirmware(const char* reply, FirmwareInfo* out);

// Accepts a reply of the exchange's shape whose value field equals `expected` reduced as the
// builder reduced the set value. The echo is compared at full width.
bool parseAcknowledgement(ExchangeId id, const char* reply, int32_t expected);

}  // namespace wirelex
