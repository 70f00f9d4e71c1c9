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
  bool failed = false;        // the transport itself failed; `error` says how
  std::string error;
};

class LineTransport {
 public:
  virtual ~LineTransport() = default;

  // Throws away whatever arrived unasked (a late reply to an earlier request, line noise), so it
  // is not taken for the answer to the next request.
  virtual void discardPendingInput() = 0;

  // Sends all of `data`. On failure returns false and says why in `error`.
  virtual bool send(const char* data, size_t length, std::string& error) = 0;

  // Collects bytes into `buffer` until a LF has been stored, `capacity` bytes are stored, or
  // `timeout` has passed. Bytes of an over-long line beyond `capacity` are read and dropped up
  // to its LF, so the next reply starts clean.
  virtual ReceiveResult receiveLine(char* buffer, size_t capacity,
                                    std::chrono::milliseconds timeout) = 0;
};

}  // namespace zephlor::host
