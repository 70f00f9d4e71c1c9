#include "zephlor_serial/serial_port.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

namespace zephlor::serial {
namespace {

struct BaudSetting {
  int baud;
  speed_t constant;
};

const BaudSetting kBauds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

std::optional<speed_t> speedFor(int baud) {
  for (const BaudSetting& setting : kBauds) {
    if (setting.baud == baud) return setting.constant;
  }
  return std::nullopt;
}

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

// Waits until `fd` can be read or the deadline passes; false on timeout.
bool waitReadable(int fd, std::chrono::steady_clock::time_point deadline) {
  for (;;) {
    pollfd entry{fd, POLLIN, 0};
    const int ready = poll(&entry, 1, millisecondsUntil(deadline));
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return true;  // let the read report the error
  }
}

}  // namespace

OpenFailure classifyOpenErrno(int error) {
  switch (error) {
    case ENOENT:
    case ENODEV:
    case ENXIO:
    case ENOTDIR:
      return OpenFailure::kNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return OpenFailure::kPermissionDenied;
    default:
      return OpenFailure::kOther;
  }
}

bool isSupportedBaud(int baud) { return speedFor(baud).has_value(); }

std::string supportedBauds() {
  std::string list;
  for (const BaudSetting& setting : kBauds) {
    list += (list.empty() ? "" : ", ") + std::to_string(setting.baud);
  }
  return list;
}

SerialPort::~SerialPort() {
  if (fd_ >= 0) close(fd_);
}

SerialPort::SerialPort(SerialPort&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) close(fd_);
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

bool configureRaw8N1(int fd, int baud) {
  const std::optional<speed_t> speed = speedFor(baud);
  termios settings{};
  if (!speed || tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, *speed);
  cfsetospeed(&settings, *speed);
  return tcsetattr(fd, TCSANOW, &settings) == 0;
}

OpenResult openSerialDevice(const std::string& path, int baud) {
  OpenResult result;
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    result.failure = classifyOpenErrno(error);
    result.message = "cannot open " + path + ": " + strerror(error);
    return result;
  }
  SerialPort port(fd);
  if (!configureRaw8N1(fd, baud)) {
    result.failure = OpenFailure::kNotSerial;
    result.message = path + " is not a serial device: " + strerror(errno);
    return result;
  }
  result.port = std::move(port);
  return result;
}

bool writeAll(int fd, const char* data, size_t length, std::string& error) {
  while (length > 0) {
    const ssize_t written = write(fd, data, length);
    if (written > 0) {
      data += written;
      length -= static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      pollfd entry{fd, POLLOUT, 0};
      poll(&entry, 1, 100);
      continue;
    }
    error = std::string("write failed: ") + strerror(errno);
    return false;
  }
  return true;
}

void FdLineTransport::discardPendingInput() {
  if (tcflush(fd_, TCIFLUSH) == 0) return;
  // Not a terminal (a pipe, say): read away whatever is waiting.
  char scratch[256];
  pollfd entry{fd_, POLLIN, 0};
  while (poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0 &&
         read(fd_, scratch, sizeof scratch) > 0) {
  }
}

bool FdLineTransport::send(const char* data, size_t length, std::string& error) {
  return writeAll(fd_, data, length, error);
}

host::ReceiveResult FdLineTransport::receiveLine(char* buffer, size_t capacity,
                                                 std::chrono::milliseconds timeout) {
  host::ReceiveResult result;
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool sawLineEnd = false;
  // The deadline is checked on every byte: a line that never stops sending must not keep the
  // host here for ever.
  while (!sawLineEnd && std::chrono::steady_clock::now() < deadline &&
         waitReadable(fd_, deadline)) {
    char byte;
    const ssize_t count = read(fd_, &byte, 1);
    if (count == 0) break;  // the other end closed: nothing more will come
    if (count < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      if (errno == EIO) break;  // a pseudo-terminal whose other side is gone
      result.failed = true;
      result.error = std::string("read failed: ") + strerror(errno);
      break;
    }
    if (result.length < capacity) buffer[result.length++] = byte;
    sawLineEnd = byte == '\n';
  }
  result.lineComplete = sawLineEnd;
  return result;
}

}  // namespace zephlor::serial
