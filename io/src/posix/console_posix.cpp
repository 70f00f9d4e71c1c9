#include "zephlor_io/console.h"

#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "stop_descriptor.h"
#include "zephlor_io/stop_request.h"

namespace zephlor::io {

void makeStandardOutputBinary() {}  // POSIX streams carry bytes as they are

bool standardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

InputKind standardInputKind() {
  if (isatty(STDIN_FILENO) == 1) return InputKind::kTerminal;
  struct stat status {};
  if (fstat(STDIN_FILENO, &status) == 0 && S_ISREG(status.st_mode)) return InputKind::kFile;
  return InputKind::kStream;
}

long readStandardInput(char* buffer, size_t size) {
  // Waits with the stop request, so Ctrl-C ends a wait for the next line at once.
  pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {stopDescriptor(), POLLIN, 0}};
  while (!stopRequested()) {
    if (poll(waits, 2, -1) < 0 && errno != EINTR) return -1;
    if (stopRequested()) break;
    if (waits[0].revents == 0) continue;
    const ssize_t got = read(STDIN_FILENO, buffer, size);
    if (got >= 0 || errno != EINTR) return static_cast<long>(got);
  }
  return -1;
}

}  // namespace zephlor::io
