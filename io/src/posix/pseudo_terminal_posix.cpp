#include "pseudo_terminal.h"

#include <memory>

#include <errno.h>
#include <fcntl.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>

namespace zephlor::io {

bool PseudoTerminal::open(std::string& error) {
  FdLine controllerSide(posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK));
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
  FdLine deviceSide(::open(path, O_RDWR | O_NOCTTY | O_CLOEXEC));
  // Raw on the device side: no echo of what this side writes back to it, no CR/LF translation.
  if (!deviceSide.isOpen() || !configureRaw8N1(deviceSide.fd(), 9600)) {
    error = std::string("cannot set up ") + path + ": " + strerror(errno);
    return false;
  }
  devicePath_ = path;
  deviceSide_ = std::move(deviceSide);
  FdLine::operator=(std::move(controllerSide));
  return true;
}

void PseudoTerminal::discardUnsentOutput() {
  tcflush(deviceSide_.fd(), TCIFLUSH);
  FdLine::discardUnsentOutput();
}

std::unique_ptr<ByteLine> openPseudoTerminal(std::string& devicePath, std::string& error) {
  auto terminal = std::make_unique<PseudoTerminal>();
  if (!terminal->open(error)) return nullptr;
  devicePath = terminal->devicePath();
  return terminal;
}

}  // namespace zephlor::io
