#include "zephlor_io/platform_facts.h"

namespace zephlor::io {

const PlatformFacts& platformFacts() {
  static constexpr PlatformFacts kFacts{
      "/dev/ttyUSB0", "such as /dev/ttyUSB0, or its /dev/serial/by-id name", "/dev/ttyS0", true,
      "stopped by SIGINT (Ctrl-C) or SIGTERM (129: SIGHUP), whatever was under way"};
  return kFacts;
}

}  // namespace zephlor::io
