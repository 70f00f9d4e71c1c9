#include "zephlor_io/console.h"

namespace zephlor::io {

void makeStandardOutputBinary() {}  // POSIX streams carry bytes as they are

}  // namespace zephlor::io
