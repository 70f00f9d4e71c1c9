// Reads a reply line by the rules of formatted scanning against the exchange's reply format:
// "R", the mnemonic and "#" must match exactly, a blank in the format matches any run of white
// space (none included), and each field is an optional sign and one or more decimal digits after
// optional white space. Scanning stops at the first character that does not fit; what follows
// the last field is never looked at.
#pragma once

#include <stdint.h>

#include "exchange_table.h"

namespace wirelex {

// Returns how many fields were converted before scanning stopped, storing them in order into
// `fields`. A field whose digits exceed the signed 32-bit range is not converted: the reply is
// refused rather than handed on with a wrapped value.
int scanReply(const Exchange& exchange, const char* reply, int32_t fields[kMaxReplyFields]);

}  // namespace wirelex
