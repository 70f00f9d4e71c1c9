// Standard output as the tools write it: the bytes as they are. Windows would otherwise turn
// every LF into CR LF, and CSV's own CR LF into CR CR LF. And whether a person watches.
#pragma once

namespace zephlor::io {

void makeStandardOutputBinary();

// Whether standard error is a terminal a person watches (a status line is for such a one only).
bool standardErrorIsTerminal();

}  // namespace zephlor::io
