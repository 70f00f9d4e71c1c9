// Device servers and the simulator's listener on POSIX: non-blocking sockets, waited on with
// poll() beside the stop request, carried by FdLine like any other line.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "../tcp_address.h"
#include "stop_descriptor.h"
#include "zephlor_serial/fd_line.h"
#include "zephlor_serial/stop_request.h"

namespace zephlor::serial {
namespace {

struct Addresses {
  addrinfo* list = nullptr;
  ~Addresses() {
    if (list != nullptr) freeaddrinfo(list);
  }
};

// Waits until `fd` has `events`, the deadline passes (false) or a stop is requested (false).
bool waitFor(int fd, short events, Deadline deadline) {
  for (;;) {
    pollfd entries[2] = {{fd, events, 0}, {stopDescriptor(), POLLIN, 0}};
    const int ready = poll(entries, 2, millisecondsUntil(deadline));
    if (stopRequested()) return false;
    if (ready > 0 && entries[0].revents != 0) return true;
    if (ready == 0 || (ready < 0 && errno != EINTR)) return false;
  }
}

class PosixListener : public TcpListener {
 public:
  PosixListener(int fd, std::string address) : fd_(fd), address_(std::move(address)) {}
  ~PosixListener() override { close(fd_); }
  std::string address() const override { return address_; }

  std::unique_ptr<ByteLine> accept(std::string& error) override {
    for (;;) {
      if (!waitFor(fd_, POLLIN, kNoDeadline)) return nullptr;
      const int connection = accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (connection >= 0) return std::make_unique<FdLine>(connection);
      if (errno != EINTR && errno != EAGAIN && errno != ECONNABORTED) {
        error = std::string("accepting failed: ") + strerror(errno);
        return nullptr;
      }
    }
  }

 private:
  int fd_;
  std::string address_;
};

}  // namespace

OpenResult openLine(const std::string& device, int baud, std::chrono::milliseconds timeout) {
  if (!isTcpAddress(device)) return openSerialDevice(device, baud);
  OpenResult result;
  std::string host, port;
  if (!splitTcpAddress(device, host, port)) {
    result.failure = OpenFailure::kNotFound;
    result.message = device + " is not of the form tcp:HOST:PORT";
    return result;
  }
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  Addresses addresses;
  const int looked = getaddrinfo(host.c_str(), port.c_str(), &hints, &addresses.list);
  if (looked != 0) {
    result.failure = OpenFailure::kNotFound;
    result.message = "cannot find " + device + ": " + gai_strerror(looked);
    return result;
  }
  const Deadline deadline = std::chrono::steady_clock::now() + timeout;
  std::string reason = "no address";
  for (const addrinfo* address = addresses.list; address != nullptr; address = address->ai_next) {
    const int fd = socket(address->ai_family, address->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                          address->ai_protocol);
    if (fd < 0) continue;
    auto line = std::make_unique<FdLine>(fd);
    int error = 0;
    if (connect(fd, address->ai_addr, address->ai_addrlen) != 0) {
      error = errno;
      if (error == EINPROGRESS) {
        socklen_t size = sizeof error;
        error = waitFor(fd, POLLOUT, deadline) &&
                        getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0
                    ? error
                    : ETIMEDOUT;
      }
    }
    if (error == 0) {
      const int on = 1;
      setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // a request is one small write
      result.line = std::move(line);
      return result;
    }
    result.failure = error == ECONNREFUSED ? OpenFailure::kNotFound : OpenFailure::kOther;
    reason = error == ETIMEDOUT ? "no connection within " + std::to_string(timeout.count()) + " ms"
                                : strerror(error);
  }
  result.message = "cannot connect to " + device + ": " + reason;
  return result;
}

std::unique_ptr<TcpListener> listenTcp(const std::string& address, int port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  Addresses addresses;
  const int looked =
      getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &addresses.list);
  if (looked != 0) {
    error = "cannot listen on " + address + ": " + gai_strerror(looked);
    return nullptr;
  }
  const addrinfo* chosen = addresses.list;
  const int fd = socket(chosen->ai_family, chosen->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                        chosen->ai_protocol);
  const int on = 1;
  if (fd < 0 || setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0 ||
      bind(fd, chosen->ai_addr, chosen->ai_addrlen) != 0 || listen(fd, 8) != 0) {
    error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + strerror(errno);
    if (fd >= 0) close(fd);
    return nullptr;
  }
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
  const int boundPort = ntohs(bound.ss_family == AF_INET6
                                  ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                  : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
  const std::string shown = chosen->ai_family == AF_INET6 ? "[" + address + "]" : address;
  return std::make_unique<PosixListener>(fd, shown + ":" + std::to_string(boundPort));
}

}  // namespace zephlor::serial
