// Standard output as the tools write it: the bytes as they are. Windows would otherwise turn
// every LF into CR LF, and CSV's own CR LF into CR CR LF.
#pragma once

namespace zephlor::io {

void makeStandardOutputBinary();

}  // namespace zephlor::io
