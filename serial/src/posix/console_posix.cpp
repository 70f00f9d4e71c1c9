#include "zephlor_serial/console.h"

namespace zephlor::serial {

void makeStandardOutputBinary() {}  // POSIX streams carry bytes as they are

}  // namespace zephlor::serial
