#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "zephlor_io/console.h"

namespace zephlor::io {

void makeStandardOutputBinary() { _setmode(_fileno(stdout), _O_BINARY); }

}  // namespace zephlor::io
