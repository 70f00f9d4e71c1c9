// Where a server listens, as a person writes it: [ADDRESS:]PORT, an IPv6 address in brackets.
#pragma once

#include <string>

#include "zephlor_text/whole_number.h"

namespace zephlor::text {

// Reads [ADDRESS:]PORT into `address` (brackets taken off; left as it was when none is given) and
// `port`, which must be `lowestPort` to 65535. False when it is not that form.
inline bool parseListenAddress(const std::string& value, long long lowestPort, std::string& address,
                               int& port) {
  const size_t colon = value.rfind(':');
  if (colon != std::string::npos) address = value.substr(0, colon);
  if (address.size() > 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  long long number = 0;
  if (address.empty() || !parseBounded(value.substr(colon == std::string::npos ? 0 : colon + 1),
                                       lowestPort, 65535, number)) {
    return false;
  }
  port = static_cast<int>(number);
  return true;
}

// Whether only this machine reaches `address`: 127.0.0.0/8, ::1 or localhost.
inline bool isLoopbackAddress(const std::string& address) {
  return address.rfind("127.", 0) == 0 || address == "::1" || address == "localhost";
}

}  // namespace zephlor::text
