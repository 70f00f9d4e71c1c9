// On Windows the simulator serves a COM port only: there are no pseudo-terminals, and a console's
// standard streams are no line.
#include <iostream>

#include "listeners.h"

namespace zephlor::sim {
namespace {

int unavailable(const char* what) {
  std::cerr << "zephlor-sim: " << what
            << " is not available on Windows; serve a COM port with --device COMn, or TCP with "
               "--tcp [ADDRESS:]PORT or --rfc2217 [ADDRESS:]PORT"
            << std::endl;
  return kUsage;
}

}  // namespace

int listenOnPseudoTerminal(const SimOptions&, const Serve&) {
  return unavailable("a pseudo-terminal (--pty, the default)");
}

int listenOnStandardStreams(const Serve&) { return unavailable("--stdio"); }

}  // namespace zephlor::sim
