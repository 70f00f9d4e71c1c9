#include "zephlor_serial/serial_port.h"

#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <optional>
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

}  // namespace

struct SerialPort::Restore {
  termios settings;
};

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
    case EBUSY:  // held in exclusive mode by another program
      return OpenFailure::kInUse;
    default:
      return OpenFailure::kOther;
  }
}

ExitCode exitCodeFor(OpenFailure failure) {
  switch (failure) {
    case OpenFailure::kNone:
      return kSuccess;
    case OpenFailure::kNotFound:
      return kDeviceNotFound;
    case OpenFailure::kPermissionDenied:
      return kDevicePermission;
    case OpenFailure::kInUse:
      return kDeviceInUse;
    case OpenFailure::kNotSerial:
    case OpenFailure::kOther:
      break;
  }
  return kDeviceError;
}

bool isSupportedBaud(int baud) { return speedFor(baud).has_value(); }

std::string supportedBauds() {
  std::string list;
  for (const BaudSetting& setting : kBauds) {
    list += (list.empty() ? "" : ", ") + std::to_string(setting.baud);
  }
  return list;
}

SerialPort::SerialPort() = default;

SerialPort::SerialPort(int fd) : fd_(fd) {}

SerialPort::~SerialPort() { close(); }

SerialPort::SerialPort(SerialPort&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), restore_(std::move(other.restore_)) {}

SerialPort& SerialPort::operator=(SerialPort&& other) noexcept {
  if (this != &other) {
    close();
    fd_ = std::exchange(other.fd_, -1);
    restore_ = std::move(other.restore_);
  }
  return *this;
}

void SerialPort::close() {
  if (fd_ < 0) return;
  if (restore_) {
    // What another program (or the user's shell, for /dev/tty) expects to find again.
    tcsetattr(fd_, TCSANOW, &restore_->settings);
    ioctl(fd_, TIOCNXCL);
    restore_.reset();
  }
  ::close(fd_);  // also releases the advisory lock
  fd_ = -1;
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
  const auto fail = [&](OpenFailure failure, const std::string& message) {
    result.failure = failure;
    result.message = message;
    return std::move(result);
  };
  const int fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    const int error = errno;
    const OpenFailure failure = classifyOpenErrno(error);
    return fail(failure, failure == OpenFailure::kInUse
                             ? path + " is in use by another program"
                             : "cannot open " + path + ": " + strerror(error));
  }
  SerialPort port(fd);
  termios saved{};
  if (tcgetattr(fd, &saved) != 0) {
    return fail(OpenFailure::kNotSerial, path + " is not a serial device: " + strerror(errno));
  }
  // Nothing about the device changes before the lock is ours: its holder keeps it as it was.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    return errno == EWOULDBLOCK
               ? fail(OpenFailure::kInUse, path + " is in use by another program")
               : fail(OpenFailure::kOther, "cannot lock " + path + ": " + strerror(errno));
  }
  port.restore_ = std::make_unique<SerialPort::Restore>(SerialPort::Restore{saved});
  ioctl(fd, TIOCEXCL);  // further opens fail with EBUSY, except for a privileged user
  if (!configureRaw8N1(fd, baud)) {
    return fail(OpenFailure::kNotSerial, "cannot set up " + path + ": " + strerror(errno));
  }
  result.port = std::move(port);
  return result;
}

}  // namespace zephlor::serial
