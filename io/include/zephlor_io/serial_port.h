// The tools' serial lines, the same on every platform: a device opened the way the controller
// expects it (raw bytes, 8 data bits, no parity, one stop bit, no flow control, at a chosen speed),
// held for this program alone and given back with the settings it had; and reads and writes that
// end at a deadline, on a hang-up, or when a stop is requested.
#pragma once

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "zephlor_facts/exit_codes.h"
#include "zephlor_host/line_transport.h"

namespace zephlor::io {

enum class OpenFailure {
  kNone,
  kNotFound,          // no such device
  kPermissionDenied,  // the device exists but may not be opened
  kNotSerial,         // it opened, but is not a line whose settings can be made
  kInUse,             // another program holds the device
  kOther,
};

// The exit status a tool ends with when it cannot open its device.
ExitCode exitCodeFor(OpenFailure failure);

// The speeds a line can be set to, and all of them for a person to read.
bool isSupportedBaud(int baud);
std::string supportedBauds();
// Reads a speed as the tools' --baud takes it; false for anything but a supported speed.
bool parseBaud(const std::string& text, int& baud);

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

// Discarding unasked input reads at most this much, for at most this long, before it gives the
// line up as one that does not fall silent: far more than a few late replies and some noise.
constexpr size_t kDiscardLimitBytes = 4096;
constexpr std::chrono::milliseconds kDiscardLimitTime{100};

// An open line: a serial device, a pseudo-terminal, standard input and output.
class ByteLine {
 public:
  virtual ~ByteLine() = default;

  // Reads at most `capacity` bytes once some are available, waiting until `deadline`.
  virtual IoResult readSome(char* buffer, size_t capacity, Deadline deadline) = 0;
  // Writes all of `data`, waiting while the line takes no more, until `deadline`.
  virtual IoResult writeAll(const char* data, size_t length, Deadline deadline) = 0;
  // Writes what the line takes now, without waiting: a line without flow control drops the rest.
  virtual IoResult writeWhatFits(const char* data, size_t length) = 0;
  // Throws away what arrived and was not read yet. False when bytes kept arriving until the
  // bounds below were reached: a peer that never stops sending must not hold a request back.
  virtual bool discardInput() = 0;
  // Throws away what was written and not yet sent or read: after output was dropped, the other
  // end must not find half a line waiting.
  virtual void discardUnsentOutput() = 0;
};

struct OpenResult {
  std::unique_ptr<ByteLine> line;
  OpenFailure failure = OpenFailure::kNone;
  std::string message;  // for a person: what failed and on which device
};

// Opens `path` (a device file; on Windows COM7 or \\.\COM12) for this program alone and sets it
// raw 8N1 at `baud`, which must be supported. The device gets its settings back when closed.
OpenResult openSerialDevice(const std::string& path, int baud);

// A new pseudo-terminal whose device path (in `devicePath`) other programs open as a serial
// port; the line returned is its other end. Null with the reason where there are none (Windows).
std::unique_ptr<ByteLine> openPseudoTerminal(std::string& devicePath, std::string& error);

// A raw TCP serial device server, named tcp:HOST:PORT or socket://HOST:PORT: the bytes on its
// socket are the line's, and the speed is the server's setting. (rfc2217:HOST:PORT names one
// that takes its settings over telnet.)
bool isTcpAddress(const std::string& device);
// Whether `device` names a device server on the network, raw TCP or RFC 2217, in any form.
bool isNetworkDevice(const std::string& device);

// What is wrong with how `device` is written, for a person; empty when nothing is: a port of
// tcp:HOST:PORT outside 1 to 65535, or a URL form (socket://, rfc2217://) that is not taken.
std::string deviceNameProblem(const std::string& device);

// Opens `device`: a serial device as openSerialDevice does, or a connection to a device server
// (tcp:HOST:PORT raw, rfc2217:HOST:PORT with the line set to `baud`) made within `timeout`. A
// refused connection is kNotFound, an unreachable host or no answer kOther, with the system's
// reason.
OpenResult openLine(const std::string& device, int baud, std::chrono::milliseconds timeout);

// A listening TCP socket, whose every connection is a line of its own.
class TcpListener {
 public:
  virtual ~TcpListener() = default;
  // ADDRESS:PORT as it listens, the port filled in when any free one was asked for.
  virtual std::string address() const = 0;
  // The next connection, and the address of its peer; null when a stop was requested first or
  // accepting failed (`error`). Running out of descriptors is waited out, never a failure.
  virtual std::unique_ptr<ByteLine> accept(std::string& error, std::string& peer) = 0;
};

// Listens on `address` (such as 127.0.0.1) and `port` (0: any free one); null with a reason when
// it cannot.
std::unique_ptr<TcpListener> listenTcp(const std::string& address, int port, std::string& error);

// What to tell a person whom the system refused the device, beyond the system's own reason.
const char* permissionAdvice();

// A serial port a user can name with --device.
struct PortInfo {
  std::string name;
  std::string description;  // empty where the system has none
};
std::vector<PortInfo> listSerialPorts();

// The host's line transport over a byte line.
class SerialLineTransport : public host::LineTransport {
 public:
  explicit SerialLineTransport(ByteLine& line) : line_(line) {}
  bool discardPendingInput() override {
    unread_.clear();
    return line_.discardInput();
  }
  host::SendStatus send(const char* data, size_t length, std::chrono::milliseconds timeout,
                        std::string& error) override;
  host::ReceiveResult receiveLine(char* buffer, size_t capacity,
                                  std::chrono::milliseconds timeout) override;

 private:
  ByteLine& line_;
  std::string unread_;  // read from the line after a reply's line end
};

}  // namespace zephlor::io
