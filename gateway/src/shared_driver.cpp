#include "shared_driver.h"

#include <mutex>

namespace zephlor::gateway {
namespace {

std::mutex callLock;
host::DriverEntryPoints inner;
host::DriverEntryPoints serialized;

// The write whose reply this thread waits for: what its Set_xxx was given. Each line's
// transactions run on the line's own thread, one at a time, so a thread has at most one.
struct WriteInProgress {
  bool active = false;
  IA item{};
  RSDATA record{};
};
thread_local WriteInProgress writeInProgress;

// Under callLock: makes this thread's write the driver's last written value again.
void restoreThisThreadsWrite() {
  if (!writeInProgress.active) return;
  IA item = writeInProgress.item;
  RSDATA record = writeInProgress.record;
  unsigned int length = 0;
  unsigned int code = 0;
  int unused = 0;
  char scratch[64] = {};
  inner.set(item, length, code, unused, &record, scratch, nullptr);
}

void lockedSet(IA& item, unsigned int& requestLength, unsigned int& requestCode, int& unused,
               RSDATA* record, char* requestBuffer, void* host) {
  const std::lock_guard<std::mutex> hold(callLock);
  writeInProgress.active = record[0].direction != 0;
  if (writeInProgress.active) {
    writeInProgress.item = item;
    writeInProgress.record = record[0];
  }
  inner.set(item, requestLength, requestCode, unused, record, requestBuffer, host);
}

int lockedCheck(IA& item, unsigned int& receivedLength, unsigned int& checkValueA,
                unsigned int& checkValueB, char* replyBuffer, void* host, int flags) {
  const std::lock_guard<std::mutex> hold(callLock);
  restoreThisThreadsWrite();
  return inner.check(item, receivedLength, checkValueA, checkValueB, replyBuffer, host, flags);
}

int lockedGet(IA& item, unsigned int& unused, int& recordCount, RSDATA* record, char* replyBuffer,
              int& parseCode, void* host) {
  const std::lock_guard<std::mutex> hold(callLock);
  restoreThisThreadsWrite();
  writeInProgress.active = false;
  return inner.get(item, unused, recordCount, record, replyBuffer, parseCode, host);
}

}  // namespace

const host::DriverEntryPoints& serializedEntryPoints(const host::DriverEntryPoints& driver) {
  const std::lock_guard<std::mutex> hold(callLock);
  inner = driver;
  // The gateway runs transactions only; the other entry points keep no state it could race on.
  serialized = driver;
  serialized.set = lockedSet;
  serialized.check = lockedCheck;
  serialized.get = lockedGet;
  return serialized;
}

}  // namespace zephlor::gateway
