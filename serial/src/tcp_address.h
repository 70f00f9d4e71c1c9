// Reading tcp:HOST:PORT, shared by the platforms' socket code.
#pragma once

#include <string>

namespace zephlor::serial {

// Splits "tcp:HOST:PORT" (HOST may be [v6-address]) into its host and port; false if it is not
// of that form.
inline bool splitTcpAddress(const std::string& device, std::string& host, std::string& port) {
  const std::string rest = device.substr(4);
  const size_t colon = rest.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == rest.size()) return false;
  host = rest.substr(0, colon);
  port = rest.substr(colon + 1);
  if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return port.find_first_not_of("0123456789") == std::string::npos;
}

}  // namespace zephlor::serial
