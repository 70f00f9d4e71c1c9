// Discarding what waits on a line by reading it away, within bounds: a peer that streams bytes
// without pause must not keep the next request from going out, or the line's thread from ending.
#pragma once

#include <chrono>
#include <cstddef>

#include "zephlor_io/serial_port.h"

namespace zephlor::io {

// Reads through `readNow(buffer, size)`, a read that does not wait, until it finds nothing (true:
// the line fell silent) or until kDiscardLimitBytes were read or kDiscardLimitTime passed with
// bytes still coming (false).
template <typename ReadNow>
bool readAway(ReadNow readNow) {
  char scratch[512];
  size_t discarded = 0;
  const auto deadline = std::chrono::steady_clock::now() + kDiscardLimitTime;
  while (discarded < kDiscardLimitBytes && std::chrono::steady_clock::now() < deadline) {
    const IoResult got = readNow(scratch, sizeof scratch);
    if (got.status != IoStatus::kDone || got.count == 0) return true;
    discarded += got.count;
  }
  return false;
}

}  // namespace zephlor::io
