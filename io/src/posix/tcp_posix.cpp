// Device servers and the simulator's listener on POSIX: non-blocking sockets, waited on with
// poll() beside the stop request, carried by FdLine like any other line.
#include <errno.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <stdlib.h>
#include <string.h>
#include <sys/socket.h>
#include <unistd.h>

#include "../tcp_address.h"
#include "../unless_stopped.h"
#include "stop_descriptor.h"
#include "zephlor_io/fd_line.h"
#include "zephlor_io/stop_request.h"

namespace zephlor::io {
namespace {

// How long to wait before accepting again when the process is out of descriptors.
constexpr std::chrono::milliseconds kBackOff{100};

struct Addresses {
  addrinfo* list = nullptr;
  int failure = 0;  // getaddrinfo's result
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

// The address of a socket's peer, numerically.
std::string addressText(const sockaddr* address, socklen_t size) {
  char host[NI_MAXHOST] = "?";
  char port[NI_MAXSERV] = "?";
  getnameinfo(address, size, host, sizeof host, port, sizeof port, NI_NUMERICHOST | NI_NUMERICSERV);
  return hostAndPort(host, std::atoi(port));
}

class PosixListener : public TcpListener {
 public:
  PosixListener(int fd, std::string address) : fd_(fd), address_(std::move(address)) {}
  ~PosixListener() override { close(fd_); }
  std::string address() const override { return address_; }

  std::unique_ptr<ByteLine> accept(std::string& error, std::string& peer) override {
    for (;;) {
      if (!waitFor(fd_, POLLIN, kNoDeadline)) return nullptr;
      sockaddr_storage from{};
      socklen_t size = sizeof from;
      const int connection =
          accept4(fd_, reinterpret_cast<sockaddr*>(&from), &size, SOCK_CLOEXEC | SOCK_NONBLOCK);
      if (connection >= 0) {
        const int on = 1;  // a reply is one small write, sent at once
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        peer = addressText(reinterpret_cast<const sockaddr*>(&from), size);
        return std::make_unique<FdLine>(connection);
      }
      // Out of descriptors or memory: the server goes on, and accepts again once clients have
      // gone and given theirs back.
      if (errno == EMFILE || errno == ENFILE || errno == ENOBUFS || errno == ENOMEM) {
        if (!sleepUntil(std::chrono::steady_clock::now() + kBackOff)) return nullptr;
        continue;
      }
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

OpenResult connectTcp(const std::string& device, const std::string& host, const std::string& port,
                      std::chrono::milliseconds timeout) {
  OpenResult result;
  const std::shared_ptr<Addresses> addresses =
      runUnlessStopped<Addresses>([host, port](Addresses& found) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        found.failure = getaddrinfo(host.c_str(), port.c_str(), &hints, &found.list);
      });
  if (addresses == nullptr) {
    result.failure = OpenFailure::kOther;
    result.message = "stopped while looking up " + device;
    return result;
  }
  if (addresses->failure != 0) {
    result.failure = OpenFailure::kNotFound;
    result.message = "cannot find " + device + ": " + gai_strerror(addresses->failure);
    return result;
  }
  const auto show = [](const addrinfo& address) {
    return addressText(address.ai_addr, address.ai_addrlen);
  };
  return connectToEach(
      device, addresses->list, timeout, show, [](const addrinfo& address, Deadline deadline) {
        ConnectAttempt attempt;
        const int fd = socket(address.ai_family, address.ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK,
                              address.ai_protocol);
        if (fd < 0) {
          attempt.reason = strerror(errno);
          return attempt;
        }
        auto line = std::make_unique<FdLine>(fd);
        int error = 0;
        if (connect(fd, address.ai_addr, address.ai_addrlen) != 0) {
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
          attempt.line = std::move(line);
        }
        attempt.timedOut = error == ETIMEDOUT;
        attempt.refused = error == ECONNREFUSED;
        attempt.reason = strerror(error);
        return attempt;
      });
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
      bind(fd, chosen->ai_addr, chosen->ai_addrlen) != 0 || listen(fd, SOMAXCONN) != 0) {
    error = "cannot listen on " + address + ":" + std::to_string(port) + ": " + strerror(errno);
    if (fd >= 0) close(fd);
    return nullptr;
  }
  sockaddr_storage bound{};
  socklen_t size = sizeof bound;
  getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &size);
  const int boundPort =
      ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                        : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
  return std::make_unique<PosixListener>(fd, hostAndPort(address, boundPort));
}

}  // namespace zephlor::io
