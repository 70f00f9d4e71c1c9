// What a device opened by openSerialDevice gets back when it is closed.
#pragma once

#include <termios.h>

#include "zephlor_io/fd_line.h"

namespace zephlor::io {

struct FdLine::Restore {
  termios settings;
};

}  // namespace zephlor::io
