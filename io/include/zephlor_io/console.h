// Standard output as the tools write it: the bytes as they are. Windows would otherwise turn
// every LF into CR LF, and CSV's own CR LF into CR CR LF. And whether a person watches.
#pragma once

#include <cstddef>

namespace zephlor::io {

void makeStandardOutputBinary();

// Whether standard error is a terminal a person watches (a status line is for such a one only).
bool standardErrorIsTerminal();

// What standard input is: a file, read whole like any script; a terminal a person types at; or a
// stream another program writes into as it goes (a pipe, a socket).
enum class InputKind { kFile, kTerminal, kStream };
InputKind standardInputKind();

// Reads what standard input has, up to `size` bytes, waiting for at least one unless a stop is
// requested: the count, 0 at its end, -1 on an error or a stop (stopRequested() tells which).
long readStandardInput(char* buffer, size_t size);

}  // namespace zephlor::io
