// What every platform's lines share: the speeds, what an open failure means to a person, and the
// host's transport over a byte line.
#include "zephlor_io/serial_port.h"

#include "tcp_address.h"
#include "zephlor_text/whole_number.h"

namespace zephlor::io {
namespace {

constexpr int kSupportedBauds[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200, 230400};

}  // namespace

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

bool isTcpAddress(const std::string& device) { return device.rfind("tcp:", 0) == 0; }

std::string deviceNameProblem(const std::string& device) {
  std::string host, port;
  if (isTcpAddress(device) && !splitTcpAddress(device, host, port)) {
    return device + " is not of the form tcp:HOST:PORT, PORT 1 to 65535";
  }
  if (device.find("://") != std::string::npos) {
    return device + " is not a form zephlor's tools take: a serial device (such as " +
           "/dev/ttyUSB0 or COM7), or a raw TCP device server as tcp:HOST:PORT";
  }
  return "";
}

bool isSupportedBaud(int baud) {
  for (int supported : kSupportedBauds) {
    if (supported == baud) return true;
  }
  return false;
}

bool parseBaud(const std::string& text, int& baud) {
  long long number = 0;
  if (!text::parseBounded(text, 1, 4000000, number) || !isSupportedBaud(static_cast<int>(number))) {
    return false;
  }
  baud = static_cast<int>(number);
  return true;
}

std::string supportedBauds() {
  std::string list;
  for (int baud : kSupportedBauds) list += (list.empty() ? "" : ", ") + std::to_string(baud);
  return list;
}

host::SendStatus SerialLineTransport::send(const char* data, size_t length,
                                           std::chrono::milliseconds timeout, std::string& error) {
  const IoResult written = line_.writeAll(data, length, std::chrono::steady_clock::now() + timeout);
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

host::ReceiveResult SerialLineTransport::receiveLine(char* buffer, size_t capacity,
                                                     std::chrono::milliseconds timeout) {
  host::ReceiveResult result;
  const Deadline deadline = std::chrono::steady_clock::now() + timeout;
  // One byte at a time, so nothing after the line end is taken from the next reply; the deadline
  // is checked on every byte, so a line that never stops sending cannot hold the host here.
  while (!result.lineComplete) {
    char byte;
    const IoResult read = line_.readSome(&byte, 1, deadline);
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
    if (result.length < capacity) {
      buffer[result.length++] = byte;
    } else {
      result.overflowed = true;
    }
    result.lineComplete = byte == '\n';
    if (!result.lineComplete && std::chrono::steady_clock::now() >= deadline) break;
  }
  return result;
}

}  // namespace zephlor::io
