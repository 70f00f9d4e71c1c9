// A pseudo-terminal for the simulator to serve: any program can open its device path as if it
// were a serial port.
#pragma once

#include <string>

#include "zephlor_serial/serial_port.h"

namespace zephlor::sim {

struct PseudoTerminal {
  serial::SerialPort controllerSide;  // the simulator reads requests and writes replies here
  serial::SerialPort deviceSide;      // held open so the line survives clients coming and going
  std::string devicePath;
};

// Creates a pseudo-terminal whose device side is raw 8N1 and whose controller side never blocks a
// write. On failure returns false with a reason.
bool openPseudoTerminal(PseudoTerminal& terminal, std::string& error);

// Throws away the replies queued on the device side that no client has read.
void discardUnread(PseudoTerminal& terminal);

}  // namespace zephlor::sim
