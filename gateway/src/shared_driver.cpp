#include "shared_driver.h"

namespace zephlor::gateway {
namespace {

std::mutex callLock;
host::DriverEntryPoints inner;
host::DriverEntryPoints serialized;

void lockedSet(IA& item, unsigned int& requestLength, unsigned int& requestCode, int& unused,
               RSDATA* record, char* requestBuffer, void* host) {
  const std::lock_guard<std::mutex> hold(callLock);
  inner.set(item, requestLength, requestCode, unused, record, requestBuffer, host);
}

int lockedCheck(IA& item, unsigned int& receivedLength, unsigned int& checkValueA,
                unsigned int& checkValueB, char* replyBuffer, void* host, int flags) {
  const std::lock_guard<std::mutex> hold(callLock);
  return inner.check(item, receivedLength, checkValueA, checkValueB, replyBuffer, host, flags);
}

int lockedGet(IA& item, unsigned int& unused, int& recordCount, RSDATA* record, char* replyBuffer,
              int& parseCode, void* host) {
  const std::lock_guard<std::mutex> hold(callLock);
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

std::mutex& writeTransactionLock() {
  static std::mutex lock;
  return lock;
}

}  // namespace zephlor::gateway
