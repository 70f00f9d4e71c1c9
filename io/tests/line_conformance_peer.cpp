// The conformance peer on a pseudo-terminal of its own: prints the device's path on its first
// line, then plays the controller of the conformance table until the client asks it to hang up.
// The Win32 backend's run under Wine opens that device as a COM port.
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <iostream>

#include "line_conformance.h"
#include "zephlor_io/fd_line.h"

int main() {
  const int controller = posix_openpt(O_RDWR | O_NOCTTY);
  if (controller < 0 || grantpt(controller) != 0 || unlockpt(controller) != 0 ||
      !zephlor::io::configureRaw8N1(controller, 9600)) {
    std::cerr << "line_conformance_peer: no pseudo-terminal" << std::endl;
    return 1;
  }
  // Held open, so the device does not read as hung up before the client opens it.
  const int held = open(ptsname(controller), O_RDWR | O_NOCTTY);
  std::cout << ptsname(controller) << std::endl;
  zephlor::io::FdLine line(controller);
  zephlor::conformance::servePeer(line);
  close(held);
  return 0;
}
