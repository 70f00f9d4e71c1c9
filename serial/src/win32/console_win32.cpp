#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "zephlor_serial/console.h"

namespace zephlor::serial {

void makeStandardOutputBinary() { _setmode(_fileno(stdout), _O_BINARY); }

}  // namespace zephlor::serial
