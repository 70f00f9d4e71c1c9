// Reading and writing a line's bytes on POSIX: every wait also watches the stop request, and a
// hang-up is told apart from a quiet line.
#include <errno.h>
#include <poll.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

#include "stop_descriptor.h"
#include "zephlor_serial/serial_port.h"
#include "zephlor_serial/stop_request.h"

namespace zephlor::serial {
namespace {

IoResult ended(IoStatus status, std::string message = "") {
  IoResult result;
  result.status = status;
  result.message = std::move(message);
  return result;
}

IoResult failure(const char* what) {
  if (errno == EIO) return ended(IoStatus::kHungUp, "the other end hung up (EIO)");
  return ended(IoStatus::kFailed, std::string(what) + " failed: " + strerror(errno));
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

}  // namespace

IoResult readSome(int fd, char* buffer, size_t capacity, Deadline deadline) {
  for (;;) {
    const IoStatus waited = waitFor(fd, POLLIN, deadline);
    if (waited == IoStatus::kFailed) return failure("waiting for input");
    if (waited != IoStatus::kDone) return ended(waited);
    const ssize_t count = read(fd, buffer, capacity);
    if (count > 0) {
      IoResult result;
      result.count = static_cast<size_t>(count);
      return result;
    }
    if (count == 0) return ended(IoStatus::kHungUp, "the other end hung up");
    if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) return failure("read");
  }
}

IoResult writeAll(int fd, const char* data, size_t length, Deadline deadline) {
  IoResult result;
  while (result.count < length) {
    const IoStatus waited = waitFor(fd, POLLOUT, deadline);
    if (waited == IoStatus::kFailed) return failure("waiting to write");
    if (waited != IoStatus::kDone) {
      result.status = waited;
      return result;
    }
    const ssize_t written = write(fd, data + result.count, length - result.count);
    if (written > 0) {
      result.count += static_cast<size_t>(written);
    } else if (written < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
      IoResult failed = failure("write");
      failed.count = result.count;
      return failed;
    }
  }
  return result;
}

IoResult writeWhatFits(int fd, const char* data, size_t length) {
  IoResult result;
  while (result.count < length) {
    pollfd entry{fd, POLLOUT, 0};
    if (poll(&entry, 1, 0) <= 0 || (entry.revents & POLLOUT) == 0) break;
    const ssize_t written = write(fd, data + result.count, length - result.count);
    if (written > 0) {
      result.count += static_cast<size_t>(written);
    } else if (written < 0 && errno == EINTR) {
      continue;
    } else if (written < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      IoResult failed = failure("write");
      failed.count = result.count;
      return failed;
    } else {
      break;
    }
  }
  return result;
}

void discardUnsentOutput(int fd) { tcflush(fd, TCOFLUSH); }

void FdLineTransport::discardPendingInput() {
  if (tcflush(fd_, TCIFLUSH) == 0) return;
  // Not a terminal (a pipe, say): read away whatever is waiting.
  char scratch[256];
  while (readSome(fd_, scratch, sizeof scratch, std::chrono::steady_clock::now()).status ==
         IoStatus::kDone) {
  }
}

host::SendStatus FdLineTransport::send(const char* data, size_t length,
                                       std::chrono::milliseconds timeout, std::string& error) {
  const IoResult written = writeAll(fd_, data, length, std::chrono::steady_clock::now() + timeout);
  switch (written.status) {
    case IoStatus::kDone:
      return host::SendStatus::kSent;
    case IoStatus::kStopped:
      return host::SendStatus::kInterrupted;
    case IoStatus::kTimedOut:
      error = "the line took " + std::to_string(written.count) + " of " + std::to_string(length) +
              " bytes in " + std::to_string(timeout.count()) + " ms and no more";
      return host::SendStatus::kFailed;
    case IoStatus::kHungUp:
    case IoStatus::kFailed:
      error = written.message;
      return host::SendStatus::kFailed;
  }
  return host::SendStatus::kFailed;
}

host::ReceiveResult FdLineTransport::receiveLine(char* buffer, size_t capacity,
                                                 std::chrono::milliseconds timeout) {
  host::ReceiveResult result;
  const Deadline deadline = std::chrono::steady_clock::now() + timeout;
  // One byte at a time, so nothing after the line end is taken from the next reply; the deadline
  // is checked on every byte, so a line that never stops sending cannot hold the host here.
  while (!result.lineComplete) {
    char byte;
    const IoResult read = readSome(fd_, &byte, 1, deadline);
    if (read.status == IoStatus::kTimedOut) break;
    if (read.status == IoStatus::kStopped) {
      result.interrupted = true;
      break;
    }
    if (read.status != IoStatus::kDone) {
      result.failed = true;
      result.error = read.message;
      break;
    }
    if (result.length < capacity) buffer[result.length++] = byte;
    result.lineComplete = byte == '\n';
    if (!result.lineComplete && std::chrono::steady_clock::now() >= deadline) break;
  }
  return result;
}

}  // namespace zephlor::serial
