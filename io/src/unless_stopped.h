// A call that no signal interrupts, such as a name lookup (a name server that does not answer
// holds it up for many seconds), run on a thread of its own and waited for only while no stop
// is requested: a stop ends the wait at once, and the thread ends in its own time. What it
// computes lives in a block the thread shares, so a waiter that leaves first frees nothing the
// thread still writes.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include "zephlor_io/stop_request.h"

namespace zephlor::io {

// Runs `work` on `Result`; the result, or null when a stop was requested first.
template <typename Result>
std::shared_ptr<Result> runUnlessStopped(std::function<void(Result&)> work) {
  struct Shared {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    Result result;
  };
  auto shared = std::make_shared<Shared>();
  try {
    std::thread([shared, work] {
      work(shared->result);
      const std::lock_guard<std::mutex> hold(shared->mutex);
      shared->done = true;
      shared->finished.notify_all();
    }).detach();
  } catch (const std::system_error&) {  // no thread to be had: the call waits here
    work(shared->result);
    return std::shared_ptr<Result>(shared, &shared->result);
  }
  std::unique_lock<std::mutex> hold(shared->mutex);
  // The stop request has no condition variable of its own; a glance every 20 ms is prompt.
  while (!shared->done) {
    if (stopRequested()) return nullptr;
    shared->finished.wait_for(hold, std::chrono::milliseconds(20));
  }
  return std::shared_ptr<Result>(shared, &shared->result);
}

}  // namespace zephlor::io
