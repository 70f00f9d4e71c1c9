// The process's one source of "stop requested": an interrupt or termination request from the
// user or the system. Every wait in the tools watches it, so a stop ends any wait promptly and
// the program can unwind, restoring what it changed on the way out.
#pragma once

#include <chrono>

namespace zephlor::io {

// Routes SIGINT, SIGTERM and SIGHUP to the stop request and ignores SIGPIPE, so a closed pipe
// shows up as a write error instead of ending the process.
void installStopHandlers();

// Asks for a stop, as the signals do.
void requestStop(int signal);

bool stopRequested();

// The signal that asked for the stop, 0 while none has. A program that was stopped exits with
// 128 plus this number, as a shell reports a process ended by it.
int stopSignal();

// Waits until `deadline` unless a stop is requested first; false when it was.
bool sleepUntil(std::chrono::steady_clock::time_point deadline);

}  // namespace zephlor::io
