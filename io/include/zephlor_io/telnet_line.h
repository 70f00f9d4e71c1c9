// Serial lines over telnet with the COM-PORT-OPTION of RFC 2217, as serial device servers offer
// them beside raw TCP: both ends agree on BINARY and SUPPRESS-GO-AHEAD, the client sets the
// line's speed and framing through sub-negotiations, and 0xFF in the data is doubled. The codec
// never sees a telnet byte. Built on any ByteLine, so it is the same on every platform.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "zephlor_io/serial_port.h"

namespace zephlor::io {

namespace telnet {

constexpr unsigned char kIac = 255;
constexpr unsigned char kDont = 254;
constexpr unsigned char kDo = 253;
constexpr unsigned char kWont = 252;
constexpr unsigned char kWill = 251;
constexpr unsigned char kSb = 250;
constexpr unsigned char kSe = 240;

constexpr unsigned char kBinary = 0;
constexpr unsigned char kSuppressGoAhead = 3;
constexpr unsigned char kComPortOption = 44;

// COM-PORT-OPTION commands, client to server; the server answers each with the command + 100.
enum ComPortCommand : unsigned char {
  kSignature = 0,
  kSetBaudRate = 1,
  kSetDataSize = 2,
  kSetParity = 3,
  kSetStopSize = 4,
  kSetControl = 5,
  kPurgeData = 12,
};
constexpr unsigned char kServerReply = 100;

// Splits what arrives into data and telnet commands, keeping its place across reads, so an IAC
// sequence or a sub-negotiation split between two reads is read whole.
class Decoder {
 public:
  struct Command {
    unsigned char verb;  // kDo, kDont, kWill or kWont
    unsigned char option;
  };
  struct Output {
    std::string data;
    std::vector<Command> commands;
    std::vector<std::string> subnegotiations;  // the bytes between IAC SB and IAC SE, undoubled
  };

  void feed(const char* bytes, size_t length, Output& out);

 private:
  enum class State { kData, kAfterIac, kCommand, kSub, kSubAfterIac };
  State state_ = State::kData;
  unsigned char verb_ = 0;
  std::string sub_;
};

// `data` with every 0xFF doubled.
std::string escaped(const std::string& data);

// IAC SB COM-PORT-OPTION `command` `value` IAC SE, the value's bytes doubled where 0xFF.
std::string comPortCommand(unsigned char command, const std::string& value);

// A 32-bit number in network order, as SET-BAUDRATE carries it.
std::string bigEndian32(uint32_t value);
// The number that four bytes of a COM-PORT-OPTION command carry, most significant first.
uint32_t fromBigEndian(const std::string& bytes);

}  // namespace telnet

// The client's side, on a connection made to a device server: negotiates, sets `baud`, 8 data
// bits, no parity, one stop bit and no flow control, and checks each against the server's
// answer, all before `deadline`. Nothing, with a failure and a message, when the server does not
// speak COM-PORT-OPTION or does not take the settings.
OpenResult openRfc2217(std::unique_ptr<ByteLine> connection, const std::string& device, int baud,
                       Deadline deadline);

// The server's side, for the simulator: answers the client's negotiation and settings as a
// device server does; `log` hears of every speed the client sets.
std::unique_ptr<ByteLine> serveRfc2217(std::unique_ptr<ByteLine> connection,
                                       std::function<void(const std::string&)> log);

}  // namespace zephlor::io
