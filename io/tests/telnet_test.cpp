// The telnet decoder, fed as a line delivers: whole, and cut at every byte, so a sequence split
// between two reads is read the same.
#include <gtest/gtest.h>

#include "zephlor_io/telnet_line.h"

namespace zephlor::io::telnet {
namespace {

std::string bytes(std::initializer_list<int> values) {
  std::string text;
  for (int value : values) text += static_cast<char>(value);
  return text;
}

TEST(TelnetDecoder, ReadsTheSameWhereverTheBytesAreCut) {
  const struct {
    const char* name;
    std::string wire;
    std::string data;
    size_t commands;
    std::vector<std::string> subnegotiations;
  } cases[] = {
      {"plain data", "RGC# 1 2 3 75\r\n", "RGC# 1 2 3 75\r\n", 0, {}},
      {"a doubled 0xFF is one data byte",
       bytes({'a', kIac, kIac, 'b'}),
       bytes({'a', 255, 'b'}),
       0,
       {}},
      {"negotiation before a reply",
       bytes({kIac, kWill, kSuppressGoAhead, kIac, kDo, kComPortOption}) + "R\n",
       "R\n",
       2,
       {}},
      {"a sub-negotiation with a doubled 0xFF",
       bytes({kIac, kSb, kComPortOption, 101, 0, kIac, kIac, 1, 0, kIac, kSe}) + "x",
       "x",
       0,
       {bytes({kComPortOption, 101, 0, 255, 1, 0})}},
      {"a two-byte command carries nothing", bytes({'a', kIac, 241, 'b'}), "ab", 0, {}},
  };
  for (const auto& c : cases) {
    for (size_t cut = 0; cut <= c.wire.size(); ++cut) {
      SCOPED_TRACE(std::string(c.name) + ", cut after " + std::to_string(cut));
      Decoder decoder;
      Decoder::Output out;
      decoder.feed(c.wire.data(), cut, out);
      decoder.feed(c.wire.data() + cut, c.wire.size() - cut, out);
      EXPECT_EQ(out.data, c.data);
      EXPECT_EQ(out.commands.size(), c.commands);
      EXPECT_EQ(out.subnegotiations, c.subnegotiations);
    }
  }
}

TEST(TelnetEncoding, DoublesEveryIacAndFramesCommands) {
  EXPECT_EQ(escaped(bytes({1, 255, 2, 255})), bytes({1, 255, 255, 2, 255, 255}));
  EXPECT_EQ(comPortCommand(kSetBaudRate, bigEndian32(0x0000FF00)),
            bytes({kIac, kSb, kComPortOption, 1, 0, 0, 255, 255, 0, kIac, kSe}));
}

}  // namespace
}  // namespace zephlor::io::telnet
