// Writes one request line: "V", the mnemonic, "#", a blank and a decimal number for each of the
// command's numbers, CR LF and a terminating NUL.
#pragma once

#include <stdint.h>

#include "exchange_table.h"

namespace wirelex {

// The numbers of one request in protocol order. `addresses` holds the exchange's addressCount
// entries; `setValue` and `modifier` are read only where the exchange carries them.
struct RequestNumbers {
  const int32_t* addresses;
  int32_t setValue;
  int32_t modifier;
};

// Returns the line length without the NUL and stores it through `lineLength`.
int32_t buildRequest(ExchangeId id, const RequestNumbers& numbers, char* line, int32_t* lineLength);

}  // namespace wirelex
