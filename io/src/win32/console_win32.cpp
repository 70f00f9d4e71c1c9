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

InputKind standardInputKind() {
  const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD mode = 0;
  if (GetConsoleMode(input, &mode) != 0) return InputKind::kTerminal;
  return GetFileType(input) == FILE_TYPE_DISK ? InputKind::kFile : InputKind::kStream;
}

long readStandardInput(char* buffer, size_t size) {
  // A console's read ends when Ctrl-C is pressed; the caller then finds the stop requested. The
  // end of a pipe whose writer has gone is its end, not an error.
  DWORD got = 0;
  const DWORD wanted = static_cast<DWORD>(size > 65536 ? 65536 : size);
  if (ReadFile(GetStdHandle(STD_INPUT_HANDLE), buffer, wanted, &got, nullptr) != 0) {
    return static_cast<long>(got);
  }
  return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
}

}  // namespace zephlor::io
