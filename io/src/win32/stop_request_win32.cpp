// The stop request on Windows: the console's control handler (Ctrl-C, Ctrl-Break, the console
// closing, log-off, shutdown) records the request as the signal a POSIX system would have sent
// and sets an event that sleeps wait on. Line waits run in short slices and look in between.
#include <windows.h>

#include <algorithm>
#include <atomic>

#include "../deadline.h"
#include "zephlor_io/stop_request.h"

namespace zephlor::io {
namespace {

constexpr int kInterrupt = 2;   // SIGINT
constexpr int kTerminate = 15;  // SIGTERM

std::atomic<int> requestedBy{0};
HANDLE stopEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);

BOOL WINAPI onConsoleControl(DWORD type) {
  requestStop(type == CTRL_C_EVENT || type == CTRL_BREAK_EVENT ? kInterrupt : kTerminate);
  return TRUE;
}

}  // namespace

void installStopHandlers() { SetConsoleCtrlHandler(onConsoleControl, TRUE); }

void requestStop(int signal) {
  int expected = 0;
  requestedBy.compare_exchange_strong(expected, signal);
  SetEvent(stopEvent);
}

bool stopRequested() { return requestedBy.load() != 0; }

int stopSignal() { return requestedBy.load(); }

bool sleepUntil(std::chrono::steady_clock::time_point deadline) {
  while (!stopRequested()) {
    if (deadline == std::chrono::steady_clock::time_point::max()) {
      WaitForSingleObject(stopEvent, INFINITE);
      continue;
    }
    const long long left = millisecondsLeft(deadline, 86400000);
    if (left == 0) return true;
    WaitForSingleObject(stopEvent, static_cast<DWORD>(left));
  }
  return false;
}

}  // namespace zephlor::io
