// What the tools tell a person that differs between the platforms: how a serial device is
// named, and whether there are pseudo-terminals for the simulator (--pty, --link, --stdio).
#pragma once

namespace zephlor::io {

struct PlatformFacts {
  const char* serialDevice;       // an example, as --device takes it
  const char* serialDeviceAbout;  // how the platform names its serial devices
  const char* simulatorDevice;    // an example for zephlor-sim --device
  bool pseudoTerminals;           // the simulator can make one, or serve standard I/O
  const char* stops;              // what ends a tool with 130 or 143
};

const PlatformFacts& platformFacts();

}  // namespace zephlor::io
