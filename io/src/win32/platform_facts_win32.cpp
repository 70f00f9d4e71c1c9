#include "zephlor_io/platform_facts.h"

namespace zephlor::io {

const PlatformFacts& platformFacts() {
  static constexpr PlatformFacts kFacts{
      "COM7", "such as COM7, or \\\\.\\COM12 above COM9", "COM8", false,
      "stopped by Ctrl-C or Ctrl-Break (130), or by closing the console or shutting down (143), "
      "whatever was under way"};
  return kFacts;
}

}  // namespace zephlor::io
