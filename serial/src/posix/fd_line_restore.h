// What a device opened by openSerialDevice gets back when it is closed.
#pragma once

#include <termios.h>

#include "zephlor_serial/fd_line.h"

namespace zephlor::serial {

struct FdLine::Restore {
  termios settings;
};

}  // namespace zephlor::serial
