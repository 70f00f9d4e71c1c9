// Reading and writing a line's bytes on POSIX: every wait also watches the stop request, and a
// hang-up is told apart from a quiet line.
#include "zephlor_io/fd_line.h"

#include "../read_away.h"

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <string.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

#include "fd_line_restore.h"
#include "stop_descriptor.h"
#include "zephlor_io/stop_request.h"

namespace zephlor::io {
namespace {

IoResult ended(IoStatus status, std::string message = "") {
  IoResult result;
  result.status = status;
  result.message = std::move(message);
  return result;
}

IoResult failure(const char* what, size_t count = 0) {
  // EIO: a pseudo-terminal whose other side is gone; EPIPE, ECONNRESET: a closed connection.
  const bool hungUp = errno == EIO || errno == EPIPE || errno == ECONNRESET;
  IoResult result =
      hungUp
          ? ended(IoStatus::kHungUp, std::string("the other end hung up (") + strerror(errno) + ")")
          : ended(IoStatus::kFailed, std::string(what) + " failed: " + strerror(errno));
  result.count = count;
  return result;
}

// Waits until `fd` has `events` (or a hang-up or error to report), the deadline passes or a
// stop is requested.
IoStatus waitFor(int fd, short events, Deadline deadline) {
  for (;;) {
    pollfd entries[2] = {{fd, events, 0}, {stopDescriptor(), POLLIN, 0}};
    if (stopRequested()) return IoStatus::kStopped;
    const int ready = poll(entries, 2, millisecondsUntil(deadline));
    if (stopRequested()) return IoStatus::kStopped;
    if (ready > 0 && entries[0].revents != 0) return IoStatus::kDone;
    if (ready == 0 && millisecondsUntil(deadline) == 0) return IoStatus::kTimedOut;
    if (ready < 0 && errno != EINTR) return IoStatus::kFailed;
  }
}

bool retry() { return errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK; }

}  // namespace

FdLine::FdLine() = default;

FdLine::FdLine(int fd) : in_(fd), out_(fd), owned_(true) { learnDescriptors(); }

FdLine::FdLine(int in, int out) : in_(in), out_(out) { learnDescriptors(); }

void FdLine::learnDescriptors() {
  const auto nonBlocking = [](int fd) { return fd >= 0 && (fcntl(fd, F_GETFL) & O_NONBLOCK) != 0; };
  inWaitsNot_ = nonBlocking(in_);
  outWaitsNot_ = out_ == in_ ? inWaitsNot_ : nonBlocking(out_);
  inIsTerminal_ = in_ >= 0 && isatty(in_) == 1;
}

FdLine::~FdLine() { close(); }

FdLine::FdLine(FdLine&& other) noexcept
    : in_(std::exchange(other.in_, -1)),
      out_(std::exchange(other.out_, -1)),
      owned_(other.owned_),
      inWaitsNot_(other.inWaitsNot_),
      inIsTerminal_(other.inIsTerminal_),
      outWaitsNot_(other.outWaitsNot_),
      restore_(std::move(other.restore_)) {}

FdLine& FdLine::operator=(FdLine&& other) noexcept {
  if (this != &other) {
    close();
    in_ = std::exchange(other.in_, -1);
    out_ = std::exchange(other.out_, -1);
    owned_ = other.owned_;
    inWaitsNot_ = other.inWaitsNot_;
    inIsTerminal_ = other.inIsTerminal_;
    outWaitsNot_ = other.outWaitsNot_;
    restore_ = std::move(other.restore_);
  }
  return *this;
}

void FdLine::close() {
  if (in_ >= 0 && restore_) {
    // What another program (or the user's shell, for /dev/tty) expects to find again.
    tcsetattr(in_, TCSANOW, &restore_->settings);
    ioctl(in_, TIOCNXCL);
  }
  restore_.reset();
  if (in_ >= 0 && owned_) ::close(in_);  // also releases the advisory lock
  in_ = out_ = -1;
}

IoResult FdLine::readSome(char* buffer, size_t capacity, Deadline deadline) {
  for (;;) {
    const IoStatus waited = waitFor(in_, POLLIN, deadline);
    if (waited == IoStatus::kFailed) return failure("waiting for input");
    if (waited != IoStatus::kDone) return ended(waited);
    const ssize_t count = read(in_, buffer, capacity);
    if (count > 0) {
      IoResult result;
      result.count = static_cast<size_t>(count);
      return result;
    }
    if (count == 0) return ended(IoStatus::kHungUp, "the other end hung up");
    if (!retry()) return failure("read");
  }
}

IoResult FdLine::writeAll(const char* data, size_t length, Deadline deadline) {
  IoResult result;
  // A line that takes the bytes at once (the usual case) needs no wait first; a blocking one
  // (standard output) is waited on, so the wait can be stopped.
  while (result.count < length) {
    if (outWaitsNot_) {
      const ssize_t written = write(out_, data + result.count, length - result.count);
      if (written > 0) {
        result.count += static_cast<size_t>(written);
        continue;
      }
      if (written < 0 && !retry()) return failure("write", result.count);
    }
    const IoStatus waited = waitFor(out_, POLLOUT, deadline);
    if (waited == IoStatus::kFailed) return failure("waiting to write", result.count);
    if (waited != IoStatus::kDone) {
      result.status = waited;
      return result;
    }
    const ssize_t written = write(out_, data + result.count, length - result.count);
    if (written > 0) {
      result.count += static_cast<size_t>(written);
    } else if (written < 0 && !retry()) {
      return failure("write", result.count);
    }
  }
  return result;
}

IoResult FdLine::writeWhatFits(const char* data, size_t length) {
  IoResult result;
  while (result.count < length) {
    pollfd entry{out_, POLLOUT, 0};
    if (poll(&entry, 1, 0) <= 0 || (entry.revents & POLLOUT) == 0) break;
    const ssize_t written = write(out_, data + result.count, length - result.count);
    if (written > 0) {
      result.count += static_cast<size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      return failure("write", result.count);
    } else {
      break;
    }
  }
  return result;
}

bool FdLine::discardInput() {
  if (inIsTerminal_) {
    // Flushing a terminal is dear on a pseudo-terminal, and nothing to do when nothing waits.
    int waiting = 0;
    if (ioctl(in_, FIONREAD, &waiting) == 0 && waiting == 0) return true;
    if (tcflush(in_, TCIFLUSH) == 0) return true;
  }
  // A socket or a pipe: what is waiting is read away, within bounds; on a line that never
  // blocks that is one read, which finds nothing in the usual case.
  return readAway([this](char* scratch, size_t size) {
    if (!inWaitsNot_) return readSome(scratch, size, std::chrono::steady_clock::now());
    IoResult result;
    const ssize_t count = read(in_, scratch, size);
    if (count > 0) result.count = static_cast<size_t>(count);
    if (count < 0 && !retry()) result.status = IoStatus::kFailed;
    return result;
  });
}

void FdLine::discardUnsentOutput() { tcflush(out_, TCOFLUSH); }

}  // namespace zephlor::io
