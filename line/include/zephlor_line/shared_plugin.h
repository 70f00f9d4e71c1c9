// One plug-in for many lines. The driver keeps two values for the whole process (the value of the
// last write, the level modifier) and its calls must never overlap, while each line runs on a
// thread of its own. So every call into it is made under one lock, held for the call alone: no
// line waits on another's wire. A write's acknowledgement is judged by the value of the last
// write, which another line's write may have replaced while this one waited for its echo; so just
// before a write's Check_xxx and Get_xxx, under the same lock, its own Set_xxx is made again into a
// scratch buffer, and the driver's last written value is that write's once more.
#pragma once

#include <mutex>
#include <string>

#include "zephlor_host/driver_module.h"
#include "zephlor_host/entry_point_table.h"

namespace zephlor::line {

// Owns the loaded plug-in and the lock its calls are made under. The driver's values are the
// process's, so a process has one at a time.
class SharedPlugin {
 public:
  SharedPlugin() = default;
  ~SharedPlugin();
  SharedPlugin(const SharedPlugin&) = delete;
  SharedPlugin& operator=(const SharedPlugin&) = delete;

  // Loads the plug-in at `path`; false with the reason in `error`.
  bool load(const std::string& path, std::string& error);
  // Shares entry points loaded elsewhere (a test's), instead of loading its own.
  void share(const host::DriverEntryPoints& driver);

  // Entry points that call the plug-in's under the lock, for any number of lines' threads.
  const host::DriverEntryPoints& entryPoints() const { return serialized_; }

 private:
  friend struct SharedPluginCalls;
  host::DriverModule module_;
  std::mutex callLock_;
  host::DriverEntryPoints inner_;
  host::DriverEntryPoints serialized_;
};

}  // namespace zephlor::line
