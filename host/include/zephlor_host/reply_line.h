// The host's own reading of a reply line, beside the driver's: whether the reply answers the very
// request that was sent (the same mnemonic, the same address numbers) and whether its value
// fields are wholly numbers. The driver's parsers read only as far as they need and compare no
// address, so a late reply to another item, or a garbled digit such as "7Y", would otherwise
// pass as a value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zephlor::host {

enum class ReplyFault {
  kNone,
  kOtherItem,   // the mnemonic or an echoed address number differs from the request's
  kNotANumber,  // a field is missing, or is not wholly a number ("7Y", "7\0", a stray byte)
};

struct ReplyReading {
  ReplyFault fault = ReplyFault::kNone;
  std::string explanation;  // for a person, when there is a fault
};

// Reads `reply`, a whole line with its LF, as the answer to `request`, whose first
// `addressCount` fields are address numbers. A firmware reply carries "VER A.B C/D/E" after its
// address; every other reply carries one value field. Blanks separate fields; CR LF or LF ends
// the line.
ReplyReading readReplyLine(std::string_view request, std::string_view reply, int addressCount,
                           bool firmware);

// The value field of a set request line, the field after its `addressCount` address numbers;
// nothing when it has none.
std::optional<int64_t> requestValueField(std::string_view request, int addressCount);

}  // namespace zephlor::host
