// The telnet protocol's bytes, either way: IAC commands and subnegotiations taken out of the data
// stream, and data and COM-PORT-OPTION commands put into it.
#include "zephlor_io/telnet_line.h"

namespace zephlor::io::telnet {

void Decoder::feed(const char* bytes, size_t length, Output& out) {
  // A sub-negotiation longer than any COM-PORT-OPTION one is noise; it is cut, never grown.
  constexpr size_t kLongestSubnegotiation = 256;
  for (size_t i = 0; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    switch (state_) {
      case State::kData:
        if (byte == kIac) {
          state_ = State::kAfterIac;
        } else {
          out.data += static_cast<char>(byte);
        }
        break;
      case State::kAfterIac:
        if (byte == kIac) {
          out.data += static_cast<char>(byte);
          state_ = State::kData;
        } else if (byte >= kWill && byte <= kDont) {
          verb_ = byte;
          state_ = State::kCommand;
        } else if (byte == kSb) {
          sub_.clear();
          state_ = State::kSub;
        } else {
          state_ = State::kData;  // NOP, GA and the other two-byte commands carry nothing
        }
        break;
      case State::kCommand:
        out.commands.push_back({verb_, byte});
        state_ = State::kData;
        break;
      case State::kSub:
        if (byte == kIac) {
          state_ = State::kSubAfterIac;
        } else if (sub_.size() < kLongestSubnegotiation) {
          sub_ += static_cast<char>(byte);
        }
        break;
      case State::kSubAfterIac:
        if (byte == kIac) {
          if (sub_.size() < kLongestSubnegotiation) sub_ += static_cast<char>(byte);
          state_ = State::kSub;
        } else {
          if (byte == kSe) out.subnegotiations.push_back(sub_);
          state_ = State::kData;
        }
        break;
    }
  }
}

std::string escaped(const std::string& data) {
  std::string out;
  out.reserve(data.size());
  for (char c : data) {
    out += c;
    if (static_cast<unsigned char>(c) == kIac) out += c;
  }
  return out;
}

std::string comPortCommand(unsigned char command, const std::string& value) {
  return std::string{static_cast<char>(kIac), static_cast<char>(kSb),
                     static_cast<char>(kComPortOption), static_cast<char>(command)} +
         escaped(value) + std::string{static_cast<char>(kIac), static_cast<char>(kSe)};
}

std::string bigEndian32(uint32_t value) {
  return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
          static_cast<char>(value >> 8), static_cast<char>(value)};
}

uint32_t fromBigEndian(const std::string& bytes) {
  uint32_t value = 0;
  for (char c : bytes) value = value << 8 | static_cast<unsigned char>(c);
  return value;
}

}  // namespace zephlor::io::telnet
