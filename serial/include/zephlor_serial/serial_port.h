// A serial device opened the way the controller expects it: raw bytes, 8 data bits, no parity,
// one stop bit, no flow control, at a chosen speed.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "zephlor_host/line_transport.h"

namespace zephlor::serial {

enum class OpenFailure {
  kNone,
  kNotFound,          // no such device
  kPermissionDenied,  // the device exists but may not be opened
  kNotSerial,         // it opened, but is not a terminal device whose line can be configured
  kOther,
};

// The failure class of an errno value from opening a device.
OpenFailure classifyOpenErrno(int error);

// Whether `baud` is a speed the line can be set to, and all such speeds for a person to read.
bool isSupportedBaud(int baud);
std::string supportedBauds();

// An open device, closed with its owner.
class SerialPort {
 public:
  SerialPort() = default;
  explicit SerialPort(int fd) : fd_(fd) {}
  ~SerialPort();
  SerialPort(SerialPort&& other) noexcept;
  SerialPort& operator=(SerialPort&& other) noexcept;
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  int fd() const { return fd_; }
  bool isOpen() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

struct OpenResult {
  SerialPort port;
  OpenFailure failure = OpenFailure::kNone;
  std::string message;  // for a person: what failed and on which path
};

// Opens `path` and sets it raw 8N1 at `baud` (which must be supported).
OpenResult openSerialDevice(const std::string& path, int baud);

// Sets an already open terminal raw 8N1 at `baud`; false if `fd` is not a terminal.
bool configureRaw8N1(int fd, int baud);

// Writes all of `data`, waiting while the device is busy. False on a write error.
bool writeAll(int fd, const char* data, size_t length, std::string& error);

// The host's line transport over an open file descriptor (a serial device or a pseudo-terminal).
class FdLineTransport : public host::LineTransport {
 public:
  explicit FdLineTransport(int fd) : fd_(fd) {}
  void discardPendingInput() override;
  bool send(const char* data, size_t length, std::string& error) override;
  host::ReceiveResult receiveLine(char* buffer, size_t capacity,
                                  std::chrono::milliseconds timeout) override;

 private:
  int fd_;
};

}  // namespace zephlor::serial
