#include "pseudo_terminal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>

namespace zephlor::sim {

bool PseudoTerminal::open(std::string& error) {
  io::FdLine controllerSide(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
  if (!controllerSide.isOpen() || grantpt(controllerSide.fd()) != 0 ||
      unlockpt(controllerSide.fd()) != 0) {
    error = std::string("cannot create a pseudo-terminal: ") + strerror(errno);
    return false;
  }
  const char* path = ptsname(controllerSide.fd());
  if (path == nullptr) {
    error = std::string("cannot name the pseudo-terminal: ") + strerror(errno);
    return false;
  }
  io::FdLine deviceSide(::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
  // Raw on the device side: no echo of replies back to the simulator, no CR/LF translation.
  if (!deviceSide.isOpen() || !io::configureRaw8N1(deviceSide.fd(), 9600)) {
    error = std::string("cannot set up ") + path + ": " + strerror(errno);
    return false;
  }
  devicePath_ = path;
  deviceSide_ = std::move(deviceSide);
  io::FdLine::operator=(std::move(controllerSide));
  return true;
}

void PseudoTerminal::discardUnsentOutput() {
  tcflush(deviceSide_.fd(), TCIFLUSH);
  io::FdLine::discardUnsentOutput();
}

}  // namespace zephlor::sim
