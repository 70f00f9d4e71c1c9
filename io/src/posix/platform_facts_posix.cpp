#include "zephlor_io/platform_facts.h"

namespace zephlor::io {

const PlatformFacts& platformFacts() {
  static constexpr PlatformFacts kFacts{
      "/dev/ttyUSB0", "such as /dev/ttyUSB0, or its /dev/serial/by-id name", "/dev/ttyS0", true};
  return kFacts;
}

}  // namespace zephlor::io
