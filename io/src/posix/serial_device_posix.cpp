// Serial devices on POSIX: termios for the line settings, an advisory lock and the terminal's
// exclusive mode so no second program opens the device meanwhile.
#include <errno.h>
#include <fcntl.h>
#include <string.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "fd_line_restore.h"
#include "zephlor_io/fd_line.h"

namespace zephlor::io {
namespace {

struct Speed {
  int baud;
  speed_t constant;
};

const Speed kSpeeds[] = {
    {1200, B1200},   {2400, B2400},   {4800, B4800},     {9600, B9600},     {19200, B19200},
    {38400, B38400}, {57600, B57600}, {115200, B115200}, {230400, B230400},
};

bool speedFor(int baud, speed_t& speed) {
  for (const Speed& each : kSpeeds) {
    if (each.baud != baud) continue;
    speed = each.constant;
    return true;
  }
  return false;
}

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

}  // namespace

bool configureRaw8N1(int fd, int baud) {
  speed_t speed;
  termios settings{};
  if (!speedFor(baud, speed) || tcgetattr(fd, &settings) != 0) return false;
  cfmakeraw(&settings);
  settings.c_cflag &= ~static_cast<tcflag_t>(PARENB | CSTOPB | CSIZE | CRTSCTS);
  settings.c_cflag |= CS8 | CLOCAL | CREAD;
  settings.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY);
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  cfsetispeed(&settings, speed);
  cfsetospeed(&settings, speed);
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
  auto line = std::make_unique<FdLine>(fd);
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
  line->restore_ = std::make_unique<FdLine::Restore>(FdLine::Restore{saved});
  ioctl(fd, TIOCEXCL);  // further opens fail with EBUSY, except for a privileged user
  if (!configureRaw8N1(fd, baud)) {
    return fail(OpenFailure::kNotSerial, "cannot set up " + path + ": " + strerror(errno));
  }
  result.line = std::move(line);
  return result;
}

const char* permissionAdvice() { return "is your user in the device's group, such as dialout?"; }

}  // namespace zephlor::io
