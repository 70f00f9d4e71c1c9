#include "pseudo_terminal.h"

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>

namespace zephlor::sim {

bool openPseudoTerminal(PseudoTerminal& terminal, std::string& error) {
  serial::SerialPort controllerSide(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
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
  serial::SerialPort deviceSide(open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
  // Raw on the device side: no echo of replies back to the simulator, no CR/LF translation.
  if (!deviceSide.isOpen() || !serial::configureRaw8N1(deviceSide.fd(), 9600)) {
    error = std::string("cannot set up ") + path + ": " + strerror(errno);
    return false;
  }
  terminal.devicePath = path;
  terminal.controllerSide = std::move(controllerSide);
  terminal.deviceSide = std::move(deviceSide);
  return true;
}

void discardUnread(PseudoTerminal& terminal) {
  tcflush(terminal.deviceSide.fd(), TCIFLUSH);
  serial::discardUnsentOutput(terminal.controllerSide.fd());
}

}  // namespace zephlor::sim
