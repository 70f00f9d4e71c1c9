// A new pseudo-terminal: any program can open its device path as if it were a serial port, and
// whoever holds this side plays the other end of that line (the simulator, the line monitor).
#pragma once

#include <string>

#include "zephlor_io/fd_line.h"

namespace zephlor::io {

// This side of the pseudo-terminal, which never blocks a write. It holds the device
// side open so the line survives clients coming and going, and discarding unsent output also
// empties what that side has queued and no client has read.
class PseudoTerminal : public FdLine {
 public:
  // On failure returns false with a reason.
  bool open(std::string& error);
  const std::string& devicePath() const { return devicePath_; }
  void discardUnsentOutput() override;

 private:
  FdLine deviceSide_;
  std::string devicePath_;
};

}  // namespace zephlor::io
