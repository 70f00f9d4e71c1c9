// For each item kind, the codec calls that serve it and the address bytes that name it.
#pragma once

#include <stdint.h>

#include "osterfell/host_records.h"

namespace osterfell {

using QueryBuilder = int32_t (*)(const IA::Fields& item, char* line, int32_t* lineLength);
using QueryParser = bool (*)(const char* reply, int32_t* out);
using SetBuilder = int32_t (*)(const IA::Fields& item, int32_t value, int32_t modifier, char* line,
                               int32_t* lineLength);
using AcknowledgementParser = bool (*)(const char* reply, int32_t expected);

struct KindOps {
  QueryBuilder buildQuery;  // null: the kind is not read through a line
  QueryParser parseQuery;   // null for the firmware query, whose reply fills five records
  SetBuilder buildSet;      // null: the kind is not written through a line
  AcknowledgementParser parseAcknowledgement;
  // How many address bytes, from addr1 on, two items of this kind must share to be addressed
  // alike. The commands of the kind carry exactly these bytes.
  uint8_t comparedAddresses;
};

// The operations of `kind`, or null for a kind the driver does not serve (10 to 255).
const KindOps* opsForKind(unsigned char kind);

}  // namespace osterfell
