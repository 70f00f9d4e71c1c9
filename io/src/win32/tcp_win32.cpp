// Device servers and the simulator's listener on Windows: Winsock, non-blocking sockets waited
// on with select() in slices of at most 50 ms, so a stop request is seen in time.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <algorithm>
#include <cstdlib>

#include "../deadline.h"
#include "../read_away.h"
#include "../tcp_address.h"
#include "../unless_stopped.h"
#include "system_message.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_io/stop_request.h"

namespace zephlor::io {
namespace {

constexpr long kSliceMilliseconds = 50;
// The ioctl requests, whose macros are unsigned where ioctlsocket takes a long.
const long kSetNonBlocking = static_cast<long>(FIONBIO);
const long kBytesWaiting = static_cast<long>(FIONREAD);

bool startWinsock() {
  static const bool started = [] {
    WSADATA data;
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

std::string socketError(int error) {
  return systemMessage(static_cast<DWORD>(error), "socket error");
}

// Waits up to one slice of the time until `deadline` for `socket` to be readable (or writable);
// kDone when it is, kTimedOut once the deadline has passed, kStopped on a stop request.
IoStatus waitSlice(SOCKET socket, bool forWriting, Deadline deadline) {
  for (;;) {
    if (stopRequested()) return IoStatus::kStopped;
    const long wait = static_cast<long>(millisecondsLeft(deadline, kSliceMilliseconds));
    fd_set ready, failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket, &ready);
    FD_SET(socket, &failed);
    timeval timeout{wait / 1000, (wait % 1000) * 1000};
    const int count =
        select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &timeout);
    if (count > 0) return IoStatus::kDone;
    if (count < 0) return IoStatus::kFailed;
    if (wait == 0 && deadline != kNoDeadline) return IoStatus::kTimedOut;
  }
}

class SocketLine : public ByteLine {
 public:
  explicit SocketLine(SOCKET socket) : socket_(socket) {}
  ~SocketLine() override { closesocket(socket_); }

  IoResult readSome(char* buffer, size_t capacity, Deadline deadline) override {
    for (;;) {
      const IoStatus waited = waitSlice(socket_, false, deadline);
      if (waited == IoStatus::kFailed) return failed("waiting for input");
      if (waited != IoStatus::kDone) return ended(waited);
      const int count = recv(socket_, buffer, static_cast<int>(capacity), 0);
      if (count > 0) {
        IoResult result;
        result.count = static_cast<size_t>(count);
        return result;
      }
      if (count == 0) return ended(IoStatus::kHungUp, "the other end hung up");
      if (WSAGetLastError() != WSAEWOULDBLOCK) return failed("reading");
    }
  }

  IoResult writeAll(const char* data, size_t length, Deadline deadline) override {
    IoResult result;
    while (result.count < length) {
      const IoStatus waited = waitSlice(socket_, true, deadline);
      if (waited != IoStatus::kDone) {
        if (waited == IoStatus::kFailed) return failed("waiting to write", result.count);
        result.status = waited;
        return result;
      }
      const int sent =
          send(socket_, data + result.count, static_cast<int>(length - result.count), 0);
      if (sent > 0) {
        result.count += static_cast<size_t>(sent);
      } else if (WSAGetLastError() != WSAEWOULDBLOCK) {
        return failed("writing", result.count);
      }
    }
    return result;
  }

  IoResult writeWhatFits(const char* data, size_t length) override {
    IoResult result;
    const int sent = send(socket_, data, static_cast<int>(length), 0);
    if (sent > 0) result.count = static_cast<size_t>(sent);
    if (sent < 0 && WSAGetLastError() != WSAEWOULDBLOCK) return failed("writing");
    return result;
  }

  bool discardInput() override {
    return readAway([this](char* scratch, size_t size) {
      IoResult got;
      u_long waiting = 0;
      if (ioctlsocket(socket_, kBytesWaiting, &waiting) != 0 || waiting == 0) return got;
      const int count = recv(socket_, scratch, static_cast<int>(size), 0);
      got.count = count > 0 ? static_cast<size_t>(count) : 0;
      return got;
    });
  }

  void discardUnsentOutput() override {}  // what a socket has taken, it sends

 private:
  static IoResult ended(IoStatus status, std::string message = "") {
    IoResult result;
    result.status = status;
    result.message = std::move(message);
    return result;
  }

  static IoResult failed(const char* what, size_t count = 0) {
    const int error = WSAGetLastError();
    const bool hungUp = error == WSAECONNRESET || error == WSAECONNABORTED || error == WSAESHUTDOWN;
    IoResult result = ended(hungUp ? IoStatus::kHungUp : IoStatus::kFailed,
                            std::string(what) + " failed: " + socketError(error));
    result.count = count;
    return result;
  }

  SOCKET socket_;
};

void makeNonBlocking(SOCKET socket) {
  u_long on = 1;
  ioctlsocket(socket, kSetNonBlocking, &on);
}

// The address of a socket's peer, numerically.
std::string addressText(const sockaddr* address, int size) {
  char host[NI_MAXHOST] = "?";
  char port[NI_MAXSERV] = "0";
  getnameinfo(address, static_cast<socklen_t>(size), host, sizeof host, port, sizeof port,
              NI_NUMERICHOST | NI_NUMERICSERV);
  return hostAndPort(host, std::atoi(port));
}

class WinsockListener : public TcpListener {
 public:
  WinsockListener(SOCKET socket, std::string address)
      : socket_(socket), address_(std::move(address)) {}
  ~WinsockListener() override { closesocket(socket_); }
  std::string address() const override { return address_; }

  std::unique_ptr<ByteLine> accept(std::string& error, std::string& peer) override {
    for (;;) {
      const IoStatus waited = waitSlice(socket_, false, kNoDeadline);
      if (waited == IoStatus::kStopped) return nullptr;
      if (waited != IoStatus::kDone) continue;
      sockaddr_storage from{};
      int size = sizeof from;
      const SOCKET connection = ::accept(socket_, reinterpret_cast<sockaddr*>(&from), &size);
      if (connection != INVALID_SOCKET) {
        makeNonBlocking(connection);
        const BOOL on = TRUE;  // a reply is one small write, sent at once
        setsockopt(connection, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                   sizeof on);
        peer = addressText(reinterpret_cast<const sockaddr*>(&from), size);
        return std::make_unique<SocketLine>(connection);
      }
      const int failure = WSAGetLastError();
      // Out of sockets or buffers: the server goes on, and accepts again once clients have gone.
      if (failure == WSAEMFILE || failure == WSAENOBUFS) {
        if (!sleepUntil(std::chrono::steady_clock::now() + std::chrono::milliseconds(100))) {
          return nullptr;
        }
        continue;
      }
      if (failure != WSAEWOULDBLOCK && failure != WSAECONNRESET) {
        error = "accepting failed: " + socketError(failure);
        return nullptr;
      }
    }
  }

 private:
  SOCKET socket_;
  std::string address_;
};

struct Addresses {
  addrinfo* list = nullptr;
  int failure = 0;  // getaddrinfo's result, a Winsock error
  ~Addresses() {
    if (list != nullptr) freeaddrinfo(list);
  }
};

}  // namespace

OpenResult connectTcp(const std::string& device, const std::string& host, const std::string& port,
                      std::chrono::milliseconds timeout) {
  OpenResult result;
  if (!startWinsock()) {
    result.message = "cannot start Winsock for " + device;
    return result;
  }
  const std::shared_ptr<Addresses> addresses =
      runUnlessStopped<Addresses>([host, port](Addresses& found) {
        addrinfo hints{};
        hints.ai_family = AF_UNSPEC;
        hints.ai_socktype = SOCK_STREAM;
        found.failure = getaddrinfo(host.c_str(), port.c_str(), &hints, &found.list);
      });
  if (addresses == nullptr) {
    result.message = "stopped while looking up " + device;
    return result;
  }
  if (addresses->failure != 0) {
    result.failure = OpenFailure::kNotFound;
    result.message = "cannot find " + device + ": " + socketError(addresses->failure);
    return result;
  }
  const auto show = [](const addrinfo& address) {
    return addressText(address.ai_addr, static_cast<int>(address.ai_addrlen));
  };
  return connectToEach(
      device, addresses->list, timeout, show, [](const addrinfo& address, Deadline deadline) {
        ConnectAttempt attempt;
        const SOCKET socket = ::socket(address.ai_family, address.ai_socktype, address.ai_protocol);
        if (socket == INVALID_SOCKET) {
          attempt.reason = socketError(WSAGetLastError());
          return attempt;
        }
        auto line = std::make_unique<SocketLine>(socket);
        makeNonBlocking(socket);
        int error = 0;
        if (connect(socket, address.ai_addr, static_cast<int>(address.ai_addrlen)) != 0) {
          error = WSAGetLastError();
          if (error == WSAEWOULDBLOCK) {
            IoStatus waited;
            while ((waited = waitSlice(socket, true, deadline)) == IoStatus::kTimedOut &&
                   std::chrono::steady_clock::now() < deadline) {
            }
            int size = sizeof error;
            error =
                waited == IoStatus::kDone && getsockopt(socket, SOL_SOCKET, SO_ERROR,
                                                        reinterpret_cast<char*>(&error), &size) == 0
                    ? error
                    : WSAETIMEDOUT;
          }
        }
        if (error == 0) {
          const BOOL on = TRUE;
          setsockopt(socket, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&on),
                     sizeof on);
          attempt.line = std::move(line);
        }
        attempt.timedOut = error == WSAETIMEDOUT;
        attempt.refused = error == WSAECONNREFUSED;
        attempt.reason = socketError(error);
        return attempt;
      });
}

std::unique_ptr<TcpListener> listenTcp(const std::string& address, int port, std::string& error) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
  Addresses addresses;
  if (!startWinsock() ||
      getaddrinfo(address.c_str(), std::to_string(port).c_str(), &hints, &addresses.list) != 0) {
    error = "cannot listen on " + address + ": " + socketError(WSAGetLastError());
    return nullptr;
  }
  const addrinfo* chosen = addresses.list;
  const SOCKET socket = ::socket(chosen->ai_family, chosen->ai_socktype, chosen->ai_protocol);
  if (socket == INVALID_SOCKET ||
      bind(socket, chosen->ai_addr, static_cast<int>(chosen->ai_addrlen)) != 0 ||
      listen(socket, SOMAXCONN) != 0) {
    error = "cannot listen on " + address + ":" + std::to_string(port) + ": " +
            socketError(WSAGetLastError());
    if (socket != INVALID_SOCKET) closesocket(socket);
    return nullptr;
  }
  makeNonBlocking(socket);
  sockaddr_storage bound{};
  int size = sizeof bound;
  getsockname(socket, reinterpret_cast<sockaddr*>(&bound), &size);
  const int boundPort =
      ntohs(bound.ss_family == AF_INET6 ? reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port
                                        : reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
  return std::make_unique<WinsockListener>(socket, hostAndPort(address, boundPort));
}

}  // namespace zephlor::io
