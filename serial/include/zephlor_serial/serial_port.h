// A serial device opened the way the controller expects it: raw bytes, 8 data bits, no parity,
// one stop bit, no flow control, at a chosen speed; held for this program alone, and given back
// with the settings it had.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

#include "zephlor_host/exit_codes.h"
#include "zephlor_host/line_transport.h"

namespace zephlor::serial {

enum class OpenFailure {
  kNone,
  kNotFound,          // no such device
  kPermissionDenied,  // the device exists but may not be opened
  kNotSerial,         // it opened, but is not a terminal device whose line can be configured
  kInUse,             // another program holds the device
  kOther,
};

// The failure class of an errno value from opening a device.
OpenFailure classifyOpenErrno(int error);

// The exit status a tool ends with when it cannot open its device.
ExitCode exitCodeFor(OpenFailure failure);

// Whether `baud` is a speed the line can be set to, and all such speeds for a person to read.
bool isSupportedBaud(int baud);
std::string supportedBauds();

struct OpenResult;

// An open device, closed with its owner. A device opened by openSerialDevice gets back its
// earlier line settings and loses this program's exclusive hold when it is closed.
class SerialPort {
 public:
  SerialPort();
  explicit SerialPort(int fd);
  ~SerialPort();
  SerialPort(SerialPort&& other) noexcept;
  SerialPort& operator=(SerialPort&& other) noexcept;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  int fd() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }
  void close();

 private:
  friend OpenResult openSerialDevice(const std::string& path, int baud);
  struct Restore;  // the settings to put back on close

  int fd_ = -1;
  std::unique_ptr<Restore> restore_;
};

struct OpenResult {
  SerialPort port;
  OpenFailure failure = OpenFailure::kNone;
  std::string message;  // for a person: what failed and on which path
};

// Opens `path` for this program alone (an advisory lock and the terminal's exclusive mode, so a
// second program cannot open it and send) and sets it raw 8N1 at `baud`, which must be supported.
OpenResult openSerialDevice(const std::string& path, int baud);

// Sets an already open terminal raw 8N1 at `baud`; false if `fd` is not a terminal.
bool configureRaw8N1(int fd, int baud);

// How a read or write on a line ended.
enum class IoStatus {
  kDone,      // bytes were read, or all were written
  kTimedOut,  // the deadline passed first
  kStopped,   // a stop was requested first
  kHungUp,    // the other end is gone (end of input, a hang-up, EIO)
  kFailed,    // any other error; the message says which
};

struct IoResult {
  IoStatus status = IoStatus::kDone;
  size_t count = 0;     // bytes read or written
  std::string message;  // for kHungUp and kFailed
};

using Deadline = std::chrono::steady_clock::time_point;
constexpr Deadline kNoDeadline = Deadline::max();

// Reads at most `capacity` bytes once some are available, waiting until `deadline`.
IoResult readSome(int fd, char* buffer, size_t capacity, Deadline deadline);

// Writes all of `data`, waiting while the device takes no more, until `deadline`.
IoResult writeAll(int fd, const char* data, size_t length, Deadline deadline);

// Writes what the device takes now, without waiting: a line without flow control drops the
// rest. `count` says how much was taken.
IoResult writeWhatFits(int fd, const char* data, size_t length);

// Throws away what was written to `fd` and not yet sent or read: after output was dropped, the
// other end must not find half a line waiting.
void discardUnsentOutput(int fd);

// The host's line transport over an open file descriptor (a serial device or a pseudo-terminal).
class FdLineTransport : public host::LineTransport {
 public:
  explicit FdLineTransport(int fd) : fd_(fd) {}
  void discardPendingInput() override;
  host::SendStatus send(const char* data, size_t length, std::chrono::milliseconds timeout,
                        std::string& error) override;
  host::ReceiveResult receiveLine(char* buffer, size_t capacity,
                                  std::chrono::milliseconds timeout) override;

 private:
  int fd_;
};

}  // namespace zephlor::serial
