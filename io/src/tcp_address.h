// What the platforms' socket code shares: reading tcp:HOST:PORT, showing an address, and the
// account of a connection that no address of a name took.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "zephlor_io/serial_port.h"
#include "zephlor_io/stop_request.h"

namespace zephlor::io {

// The forms a device server is named by: tcp:HOST:PORT or socket://HOST:PORT for a raw TCP port,
// rfc2217:HOST:PORT or rfc2217://HOST:PORT for telnet with the COM-PORT-OPTION.
struct NetworkForm {
  const char* prefix;
  bool rfc2217;
};
inline constexpr NetworkForm kNetworkForms[] = {
    {"tcp:", false}, {"socket://", false}, {"rfc2217://", true}, {"rfc2217:", true}};

// The form `device` is written in, or null for a device path.
inline const NetworkForm* networkFormOf(const std::string& device) {
  for (const NetworkForm& form : kNetworkForms) {
    if (device.rfind(form.prefix, 0) == 0) return &form;
  }
  return nullptr;
}

// Splits a device server's name (HOST may be [v6-address]) into its host and port; false if it
// is none or the port is not 1 to 65535.
inline bool splitTcpAddress(const std::string& device, std::string& host, std::string& port) {
  const NetworkForm* form = networkFormOf(device);
  if (form == nullptr) return false;
  const std::string rest = device.substr(std::string(form->prefix).size());
  const size_t colon = rest.rfind(':');
  if (colon == std::string::npos || colon == 0 || colon + 1 == rest.size()) return false;
  host = rest.substr(0, colon);
  port = rest.substr(colon + 1);
  if (host.front() == '[' && host.back() == ']') host = host.substr(1, host.size() - 2);
  return port.size() <= 5 && port.find_first_not_of("0123456789") == std::string::npos &&
         std::stoi(port) >= 1 && std::stoi(port) <= 65535;
}

// Connects to HOST:PORT of `device` within `timeout`, trying every address of HOST in turn: the
// platform's part of opening a device server.
OpenResult connectTcp(const std::string& device, const std::string& host, const std::string& port,
                      std::chrono::milliseconds timeout);

// HOST:PORT as a person writes it, [HOST]:PORT for an IPv6 address.
inline std::string hostAndPort(const std::string& host, int port) {
  const bool v6 = host.find(':') != std::string::npos;
  return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

// How connecting to one address ended, as the platform's socket code tells it.
struct ConnectAttempt {
  std::unique_ptr<ByteLine> line;  // connected
  bool timedOut = false;
  bool refused = false;  // nothing listens there
  std::string reason;    // the system's, when it failed otherwise
};

// Tries every address of a name in turn (an addrinfo list; `show` writes one for a person, and
// `attempt` connects to one by the deadline) until one takes the connection. When none does,
// the message names each with its reason: refused everywhere means nothing listens there (exit
// 4), anything else is a line failure.
template <typename AddressInfo, typename Show, typename Attempt>
OpenResult connectToEach(const std::string& device, const AddressInfo* addresses,
                         std::chrono::milliseconds timeout, Show show, Attempt attempt) {
  const Deadline deadline = std::chrono::steady_clock::now() + timeout;
  OpenResult result;
  std::string reasons;
  bool allRefused = true;
  for (const AddressInfo* address = addresses; address != nullptr; address = address->ai_next) {
    ConnectAttempt tried = attempt(*address, deadline);
    if (tried.line) {
      result.line = std::move(tried.line);
      return result;
    }
    if (stopRequested()) break;
    reasons += (reasons.empty() ? "" : "; ") + show(*address) + " " +
               (tried.timedOut ? "no connection within " + std::to_string(timeout.count()) + " ms"
                               : tried.reason);
    allRefused = allRefused && tried.refused;
  }
  result.failure = allRefused ? OpenFailure::kNotFound : OpenFailure::kOther;
  result.message =
      "cannot connect to " + device + ": " + (reasons.empty() ? "no address" : reasons);
  return result;
}

}  // namespace zephlor::io
