// What every platform's lines share: the speeds, what an open failure means to a person, and the
// host's transport over a byte line.
#include "zephlor_io/serial_port.h"

#include "tcp_address.h"
#include "zephlor_io/telnet_line.h"
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

bool isTcpAddress(const std::string& device) {
  const NetworkForm* form = networkFormOf(device);
  return form != nullptr && !form->rfc2217;
}

bool isNetworkDevice(const std::string& device) { return networkFormOf(device) != nullptr; }

namespace {

// A raw TCP port that turns out to speak telnet greets with IAC before any reply: that is told
// as what it is, a line failure, never as a garbled reply. The first byte that arrives is looked
// at, also when it would be discarded before the first request.
class RawTcpLine : public ByteLine {
 public:
  explicit RawTcpLine(std::unique_ptr<ByteLine> raw) : raw_(std::move(raw)) {}

  IoResult readSome(char* buffer, size_t capacity, Deadline deadline) override {
    if (speaksTelnet_) return telnetFailure();
    IoResult read = raw_->readSome(buffer, capacity, deadline);
    if (read.status == IoStatus::kDone && read.count != 0) look(buffer[0]);
    return speaksTelnet_ ? telnetFailure() : read;
  }
  IoResult writeAll(const char* data, size_t length, Deadline deadline) override {
    return raw_->writeAll(data, length, deadline);
  }
  IoResult writeWhatFits(const char* data, size_t length) override {
    return raw_->writeWhatFits(data, length);
  }
  bool discardInput() override {
    char first = 0;
    if (!looked_ && raw_->readSome(&first, 1, std::chrono::steady_clock::now()).count == 1) {
      look(first);
    }
    return raw_->discardInput();
  }
  void discardUnsentOutput() override { raw_->discardUnsentOutput(); }

 private:
  void look(char first) {
    if (looked_) return;
    looked_ = true;
    speaksTelnet_ = static_cast<unsigned char>(first) == 0xFF;
  }
  static IoResult telnetFailure() {
    return {IoStatus::kFailed, 0,
            "this port speaks telnet; use rfc2217:HOST:PORT or the device server's raw TCP port"};
  }

  std::unique_ptr<ByteLine> raw_;
  bool looked_ = false;
  bool speaksTelnet_ = false;
};

}  // namespace

OpenResult openLine(const std::string& device, int baud, std::chrono::milliseconds timeout) {
  const NetworkForm* form = networkFormOf(device);
  if (form == nullptr) return openSerialDevice(device, baud);
  OpenResult result;
  std::string host, port;
  if (!splitTcpAddress(device, host, port)) {
    result.failure = OpenFailure::kNotFound;
    result.message = deviceNameProblem(device);
    return result;
  }
  const Deadline deadline = std::chrono::steady_clock::now() + timeout;
  OpenResult connected = connectTcp(device, host, port, timeout);
  if (!connected.line) return connected;
  if (form->rfc2217) return openRfc2217(std::move(connected.line), device, baud, deadline);
  connected.line = std::make_unique<RawTcpLine>(std::move(connected.line));
  return connected;
}

std::string deviceNameProblem(const std::string& device) {
  std::string host, port;
  if (networkFormOf(device) != nullptr && !splitTcpAddress(device, host, port)) {
    return device + " is not of the form tcp:HOST:PORT (or rfc2217:HOST:PORT), PORT 1 to 65535";
  }
  if (networkFormOf(device) == nullptr && device.find("://") != std::string::npos) {
    return device + " is not a form zephlor's tools take: a serial device (such as " +
           "/dev/ttyUSB0 or COM7), a raw TCP device server as tcp:HOST:PORT or " +
           "socket://HOST:PORT, or an RFC 2217 one as rfc2217:HOST:PORT or rfc2217://HOST:PORT";
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
  // What arrived is read in one call; bytes after the line end wait here for the next request's
  // purge. The deadline is checked after every read, so a line that never stops sending cannot
  // hold the host here.
  for (;;) {
    size_t used = 0;
    while (used < unread_.size() && !result.lineComplete) {
      const char byte = unread_[used++];
      if (result.length < capacity) {
        buffer[result.length++] = byte;
      } else {
        result.overflowed = true;
      }
      result.lineComplete = byte == '\n';
    }
    unread_.erase(0, used);
    if (result.lineComplete) break;
    if (result.length != 0 && std::chrono::steady_clock::now() >= deadline) break;
    char chunk[512];
    const IoResult read = line_.readSome(chunk, sizeof chunk, deadline);
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
    unread_.append(chunk, read.count);
  }
  return result;
}

}  // namespace zephlor::io
