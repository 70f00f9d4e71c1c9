// Runs the project's programs as child processes for end-to-end tests, always within a time
// limit: a child still running at its limit is killed and reported as timed out.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace zephlor::testing {

struct Finished {
  int exitCode = -1;  // -1 when killed by a signal or at the time limit
  std::string out;
  std::string err;
  bool timedOut = false;
  long peakResidentKilobytes = 0;
};

// Runs `argv` to completion with `input` on its standard input.
Finished runToCompletion(const std::vector<std::string>& argv, std::chrono::milliseconds limit,
                         const std::string& input = "");

// A child that runs alongside the test and is ended when this goes out of scope.
class BackgroundChild {
 public:
  // With `mergeErrors`, its standard error arrives through readLine too.
  explicit BackgroundChild(const std::vector<std::string>& argv, bool mergeErrors = false);
  ~BackgroundChild();
  BackgroundChild(const BackgroundChild&) = delete;
  BackgroundChild& operator=(const BackgroundChild&) = delete;

  // The next line of its standard output, without the LF; nothing if none came within `limit`.
  std::optional<std::string> readLine(std::chrono::milliseconds limit);

  // Sends it `signal` once it has installed a handler for it, so that a slow start is never
  // taken for the behaviour under test. False if it had none within `limit`.
  bool signalOnceCaught(int signal, std::chrono::milliseconds limit) {
    return signalOnceReady(signal, limit, false);
  }

  // The same, once it also sleeps in a poll: a wait has begun, not merely the steps before it.
  // (A sanitizer's runtime may hold back a signal that comes outside a wait, as between sending
  // a request and waiting for its reply.)
  bool signalOnceWaiting(int signal, std::chrono::milliseconds limit) {
    return signalOnceReady(signal, limit, true);
  }

  // Its exit code once it has ended (-1 if a signal ended it), or nothing while it still runs at
  // `limit`.
  std::optional<int> waitForExit(std::chrono::milliseconds limit);

  // Closes the test's end of its standard output, as a reader that goes away does.
  void closeOutput();

  // Ends it with SIGTERM and returns its exit code (-1 if it had to be killed).
  int stop();

 private:
  bool signalOnceReady(int signal, std::chrono::milliseconds limit, bool inPoll);

  pid_t pid_ = -1;
  int out_ = -1;
  std::string buffered_;
};

}  // namespace zephlor::testing
