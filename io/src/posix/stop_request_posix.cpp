// The stop request on POSIX: the signal handler records the signal and writes a byte into a pipe
// whose other end every poll() of the tools includes, so a wait wakes the moment a stop comes,
// however long its deadline.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <initializer_list>

#include "../deadline.h"
#include "stop_descriptor.h"
#include "zephlor_io/stop_request.h"

namespace zephlor::io {
namespace {

std::atomic<int> requestedBy{0};
int wakePipe[2] = {-1, -1};

void onStopSignal(int signal) { requestStop(signal); }

bool openWakePipe() {
  if (wakePipe[0] >= 0) return true;
  return pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) == 0;
}

}  // namespace

void installStopHandlers() {
  openWakePipe();
  struct sigaction action {};
  action.sa_handler = onStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaction(signal, &action, nullptr);
  ::signal(SIGPIPE, SIG_IGN);
}

void requestStop(int signal) {
  int expected = 0;
  requestedBy.compare_exchange_strong(expected, signal);
  if (wakePipe[1] >= 0) {
    const int saved = errno;  // a signal handler must leave errno as it found it
    [[maybe_unused]] const ssize_t ignored = write(wakePipe[1], "", 1);
    errno = saved;
  }
}

bool stopRequested() { return requestedBy.load() != 0; }

int stopSignal() { return requestedBy.load(); }

int stopDescriptor() {
  openWakePipe();
  return wakePipe[0];
}

int millisecondsUntil(std::chrono::steady_clock::time_point deadline) {
  if (deadline == kNoDeadline) return -1;
  return static_cast<int>(millisecondsLeft(deadline, 86400000));
}

bool sleepUntil(std::chrono::steady_clock::time_point deadline) {
  // To the nanosecond the clock gives, not the millisecond: the built-in simulator paces the wire
  // with these waits, and a byte at 230400 baud takes 43 microseconds.
  // The kernel may otherwise let a short wait run 50 microseconds long.
  static thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1, 0, 0, 0) == 0;
  (void)precise;
  pollfd stop{stopDescriptor(), POLLIN, 0};
  while (!stopRequested()) {
    const auto left = deadline - std::chrono::steady_clock::now();
    if (left <= std::chrono::steady_clock::duration::zero()) return true;
    if (deadline == std::chrono::steady_clock::time_point::max()) {
      poll(&stop, 1, -1);
      continue;
    }
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
    const timespec wait{static_cast<time_t>(nanoseconds / 1000000000),
                        static_cast<long>(nanoseconds % 1000000000)};
    ppoll(&stop, 1, &wait, nullptr);
  }
  return false;
}

}  // namespace zephlor::io
