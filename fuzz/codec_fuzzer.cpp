// Every codec function on inputs the fuzzer chooses: which function, its integer arguments and
// the reply text. A builder must write one well-formed line of at most 32 characters and nothing
// beyond it; a parser must stay inside the reply and its out-record and agree with itself.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_input.h"
#include "wirelex.h"

namespace {

using zephlor::fuzz::FuzzInput;
using zephlor::fuzz::Guarded;

[[noreturn]] void fail(const char* what) {
  fprintf(stderr, "codec_fuzzer: %s\n", what);
  abort();
}

void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

void build(uint8_t choice, FuzzInput& in) {
  int32_t n[8];
  for (int32_t& number : n) number = in.int32();
  Guarded<WIRELEX_MAX_LINE + 1> line;
  memset(line.buffer, 'Z', sizeof line.buffer);
  char* l = line.buffer;
  int32_t length = -1;
  int32_t returned = 0;
  switch (choice % 15) {
    case 0:
      returned = FillQueryFirmware(n[0], l, &length);
      break;
    case 1:
      returned = FillQueryLEDState(n[0], n[1], n[2], l, &length);
      break;
    case 2:
      returned = FillQueryModuleLoadLevel(n[0], n[1], n[2], n[3], l, &length);
      break;
    case 3:
      returned = FillQueryStationLoadLevel(n[0], n[1], n[2], l, &length);
      break;
    case 4:
      returned = FillQueryContactorLoadLevel(n[0], l, &length);
      break;
    case 5:
      returned = FillQueryThermostat(n[0], n[1], n[2], l, &length);
      break;
    case 6:
      returned = FillQuerySwitch(n[0], n[1], n[2], l, &length);
      break;
    case 7:
      returned = FillSetLEDState(n[0], n[1], n[2], n[3], l, &length);
      break;
    case 8:
      returned = FillSetModuleLoadLevel(n[0], n[1], n[2], n[3], n[4], n[5], l, &length);
      break;
    case 9:
      returned = FillSetStationLoadLevel(n[0], n[1], n[2], n[3], n[4], l, &length);
      break;
    case 10:
      returned = FillSetContactorLoadLevel(n[0], n[1], n[2], l, &length);
      break;
    case 11:
      returned = FillSetThermostat(n[0], n[1], n[2], n[3], l, &length);
      break;
    case 12:
      returned = FillSetSwitch(n[0], n[1], n[2], n[3], l, &length);
      break;
    case 13:
      returned = FillSetModuleLoadProfile(n[0], n[1], n[2], n[3], n[4], l, &length);
      break;
    default:
      returned = FillSetStationLoadProfile(n[0], n[1], n[2], n[3], l, &length);
      break;
  }
  check(line.intact(), "a builder wrote outside its line buffer");
  check(returned == length, "a builder returned another length than it stored");
  check(length >= 8 && length <= WIRELEX_MAX_LINE, "a line length outside 8 to 32");
  check(static_cast<int32_t>(strlen(l)) == length, "the NUL is not at the line's length");
  check(l[0] == 'V' && l[3] == '#' && l[length - 2] == '\r' && l[length - 1] == '\n',
        "a line without its frame");
}

void parse(uint8_t choice, FuzzInput& in) {
  const int32_t expected = in.int32();
  // The reply in a heap block of exactly its size, so reading past its NUL is caught.
  const std::string text = in.rest();
  char* reply = static_cast<char*>(malloc(text.size() + 1));
  memcpy(reply, text.c_str(), text.size() + 1);

  if (choice % 15 == 0) {
    Guarded<sizeof(FirmwareInfo)> record;
    FirmwareInfo* info = reinterpret_cast<FirmwareInfo*>(record.buffer);
    ParseFirmware(reply, info);
    check(record.intact(), "ParseFirmware wrote outside its record");
  } else if (choice % 15 < 7) {
    static bool (*const kQueryParsers[])(const char*, int32_t*) = {
        ParseLEDState,           ParseModuleLoadLevel, ParseStationLoadLevel,
        ParseContactorLoadLevel, ParseThermostat,      ParseSwitch};
    Guarded<sizeof(int32_t)> out;
    memset(out.buffer, 0x3C, sizeof out.buffer);
    const bool accepted =
        kQueryParsers[choice % 15 - 1](reply, reinterpret_cast<int32_t*>(out.buffer));
    check(out.intact(), "a query parser wrote outside its out-value");
    if (!accepted) {
      for (char c : out.buffer) check(c == 0x3C, "a refused reply changed the out-value");
    }
  } else {
    static bool (*const kAcknowledgementParsers[])(const char*, int32_t) = {
        ParseSetLEDState,           ParseSetModuleLoadLevel,   ParseSetStationLoadLevel,
        ParseSetContactorLoadLevel, ParseSetThermostat,        ParseSetSwitch,
        ParseSetModuleLoadProfile,  ParseSetStationLoadProfile};
    const auto parser = kAcknowledgementParsers[choice % 15 - 7];
    const bool confirmed = parser(reply, expected);
    // Only the reduced value is compared: an 8-bit exchange gives the same verdict for an
    // expected value 256 higher.
    if (choice % 15 != 11) {
      check(
          confirmed == parser(reply, static_cast<int32_t>(static_cast<uint32_t>(expected) + 256u)),
          "an 8-bit acknowledgement compared more than the low 8 bits");
    }
  }
  free(reply);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzInput in(data, size);
  const uint8_t selector = in.byte();
  const uint8_t choice = in.byte();
  if (selector & 1) {
    build(choice, in);
  } else {
    parse(choice, in);
  }
  return 0;
}
