// The serial line as the host uses it: send one request line, then collect the reply bytes up to
// the line end or a deadline.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace zephlor::host {

struct ReceiveResult {
  size_t length = 0;          // bytes stored in the caller's buffer
  bool lineComplete = false;  // the line end (LF) arrived before the deadline
  bool overflowed = false;    // the line held more than `capacity` bytes; the rest was dropped
  bool failed = false;        // the line failed or the other end hung up; `error` says how
  bool interrupted = false;   // a stop was requested before the line end or the deadline
  std::string error;
};

enum class SendStatus {
  kSent,
  kFailed,       // the line failed, or did not take the bytes before the deadline
  kInterrupted,  // a stop was requested before all bytes were taken
};

class LineTransport {
 public:
  virtual ~LineTransport() = default;

  // Throws away whatever arrived unasked (a late reply to an earlier request, line noise), so it
  // is not taken for the answer to the next request. False when the line did not fall silent:
  // bytes kept coming until the bounds of discarding were reached.
  virtual bool discardPendingInput() = 0;

  // Sends all of `data` within `timeout`. On failure says why in `error`.
  virtual SendStatus send(const char* data, size_t length, std::chrono::milliseconds timeout,
                          std::string& error) = 0;

  // Collects bytes into `buffer` until a LF has been stored, `capacity` bytes are stored, or
  // `timeout` has passed. Bytes of an over-long line beyond `capacity` are read and dropped up
  // to its LF, so the next reply starts clean.
  virtual ReceiveResult receiveLine(char* buffer, size_t capacity,
                                    std::chrono::milliseconds timeout) = 0;
};

}  // namespace zephlor::host
