#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "zephlor_io/console.h"

namespace zephlor::io {

void makeStandardOutputBinary() { _setmode(_fileno(stdout), _O_BINARY); }

bool standardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace zephlor::io
