#include "zephlor_line/shared_plugin.h"

namespace zephlor::line {
namespace {

// The plug-in's entry points are plain functions, with no room for an object: they reach the one
// shared plug-in of the process through this.
SharedPlugin* theShared = nullptr;

// The write whose reply this thread waits for: what its Set_xxx was given. Each line's
// transactions run on the line's own thread, one at a time, so a thread has at most one.
struct WriteInProgress {
  bool active = false;
  IA item{};
  RSDATA record{};
};
thread_local WriteInProgress writeInProgress;

}  // namespace

struct SharedPluginCalls {
  // Under the lock: makes this thread's write the driver's last written value again.
  static void restoreThisThreadsWrite(SharedPlugin& shared) {
    if (!writeInProgress.active) return;
    IA item = writeInProgress.item;
    RSDATA record = writeInProgress.record;
    unsigned int length = 0;
    unsigned int code = 0;
    int unused = 0;
    char scratch[64] = {};
    shared.inner_.set(item, length, code, unused, &record, scratch, nullptr);
  }

  static void set(IA& item, unsigned int& requestLength, unsigned int& requestCode, int& unused,
                  RSDATA* record, char* requestBuffer, void* host) {
    SharedPlugin& shared = *theShared;
    const std::lock_guard<std::mutex> hold(shared.callLock_);
    writeInProgress.active = record[0].direction != 0;
    if (writeInProgress.active) {
      writeInProgress.item = item;
      writeInProgress.record = record[0];
    }
    shared.inner_.set(item, requestLength, requestCode, unused, record, requestBuffer, host);
  }

  static int check(IA& item, unsigned int& receivedLength, unsigned int& checkValueA,
                   unsigned int& checkValueB, char* replyBuffer, void* host, int flags) {
    SharedPlugin& shared = *theShared;
    const std::lock_guard<std::mutex> hold(shared.callLock_);
    restoreThisThreadsWrite(shared);
    return shared.inner_.check(item, receivedLength, checkValueA, checkValueB, replyBuffer, host,
                               flags);
  }

  static int get(IA& item, unsigned int& unused, int& recordCount, RSDATA* record,
                 char* replyBuffer, int& parseCode, void* host) {
    SharedPlugin& shared = *theShared;
    const std::lock_guard<std::mutex> hold(shared.callLock_);
    restoreThisThreadsWrite(shared);
    writeInProgress.active = false;
    return shared.inner_.get(item, unused, recordCount, record, replyBuffer, parseCode, host);
  }
};

SharedPlugin::~SharedPlugin() {
  if (theShared == this) theShared = nullptr;
}

bool SharedPlugin::load(const std::string& path, std::string& error) {
  if (!module_.load(path, error)) return false;
  share(module_.entryPoints());
  return true;
}

void SharedPlugin::share(const host::DriverEntryPoints& driver) {
  const std::lock_guard<std::mutex> hold(callLock_);
  theShared = this;
  inner_ = driver;
  // The lines run transactions only; the other entry points keep no state they could race on.
  serialized_ = driver;
  serialized_.set = SharedPluginCalls::set;
  serialized_.check = SharedPluginCalls::check;
  serialized_.get = SharedPluginCalls::get;
}

}  // namespace zephlor::line
