#include "zephlor_io/console.h"

#include <unistd.h>

namespace zephlor::io {

void makeStandardOutputBinary() {}  // POSIX streams carry bytes as they are

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace zephlor::io
