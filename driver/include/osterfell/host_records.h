// The host's records as the driver sees them. The host owns and lays out both; their layout is
// part of the interface, and the type names and kinds (a union and a struct in the global
// namespace) are part of the entry points' exported names.
#pragma once

#include <stddef.h>

// The host's item address. The host's record may be longer; the driver reads bytes 1 to 5 only.
union IA {
  unsigned char bytes[6];
  struct Fields {
    unsigned char hostByte;  // the host's own; never examined
    unsigned char kind;      // an ItemKind, or a kind the driver does not serve
    unsigned char addr1;
    unsigned char addr2;
    unsigned char addr3;
    unsigned char addr4;
  } fields;
};

// The host's 8-byte data record. Where a reply yields several values the driver fills
// consecutive records.
struct RSDATA {
  float value;              // every value the driver writes; on a write of valueType 64 the first
                            // two bytes hold a 16-bit unsigned little-endian integer instead
  unsigned char valueType;  // the host's type code; only 64 is told apart, on a write
  unsigned char status;     // 0: read or write succeeded; 1: write not confirmed or not served
  unsigned char hostByte;   // the host's own; never read or written
  unsigned char direction;  // 0: read transaction; anything else: write transaction
};

// The item kinds and the exchanges that serve them.
enum class ItemKind : unsigned char {
  Firmware = 0,            // "GV#" read into five records; not writable
  LedState = 1,            // "LS#" / "LD#"
  ModuleLoadLevel = 2,     // "GB#" / "LB#" with the level modifier
  StationLoadLevel = 3,    // "GC#" / "LC#" with the level modifier
  ContactorLoadLevel = 4,  // "GL#" / "LO#" with the level modifier
  Thermostat = 5,          // "GH#" / "SH#", the set point written whole
  Switch = 6,              // "GS#" / "SW#"
  ModuleLoadProfile = 7,   // write-only "LP#"
  StationLoadProfile = 8,  // write-only "SP#"
  Modifier = 9,            // the driver-wide level modifier; no line is exchanged
};

// The value of RSDATA::valueType that marks a 16-bit unsigned integer value.
constexpr unsigned char kValueTypeUnsigned16 = 64;

static_assert(sizeof(IA) == 6, "IA: the six bytes the driver reads");
static_assert(offsetof(IA::Fields, kind) == 1 && offsetof(IA::Fields, addr1) == 2 &&
                  offsetof(IA::Fields, addr4) == 5,
              "IA: kind at byte 1, addr1 to addr4 at bytes 2 to 5");
static_assert(sizeof(float) == 4, "RSDATA::value is an IEEE 754 single");
static_assert(sizeof(RSDATA) == 8, "RSDATA: records lie 8 bytes apart");
static_assert(offsetof(RSDATA, value) == 0 && offsetof(RSDATA, valueType) == 4 &&
                  offsetof(RSDATA, status) == 5 && offsetof(RSDATA, hostByte) == 6 &&
                  offsetof(RSDATA, direction) == 7,
              "RSDATA layout");
