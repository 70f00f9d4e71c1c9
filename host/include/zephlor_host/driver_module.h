// Loads the driver plug-in the way the host does: by file, with its seven entry points resolved
// by the decorated names the platform's C++ toolchain gives them. Nothing here links against the
// driver, so a wrong name or signature in the plug-in shows up as a load failure, as in the host.
#pragma once

#include <string>
#include <vector>

#include "zephlor_host/entry_point_table.h"

namespace zephlor::host {

// Where the plug-in is looked for when none is named, in order: beside the running executable
// (osterfell.so, or osterfell.dll on Windows), then where an installation puts it relative to the
// executable (../lib/zephlor/osterfell.so, by the library folder of the build).
std::vector<std::string> defaultPluginPaths();
// The first of those that exists, or else the first, for the load failure to name.
std::string defaultPluginPath();
// The plug-in's file name on this platform: osterfell.so, or osterfell.dll on Windows.
const char* pluginFileName();

// Owns one loaded instance of the plug-in; unloading it discards the driver-wide values.
class DriverModule {
 public:
  DriverModule() = default;
  ~DriverModule();
  DriverModule(DriverModule&& other) noexcept;
  DriverModule& operator=(DriverModule&& other) noexcept;
  DriverModule(const DriverModule&) = delete;
  DriverModule& operator=(const DriverModule&) = delete;

  // Loads the plug-in at `path` and resolves all seven entry points. On failure returns false,
  // says why in `error` and leaves nothing loaded.
  bool load(const std::string& path, std::string& error);
  void unload();

  bool loaded() const { return handle_ != nullptr; }
  const DriverEntryPoints& entryPoints() const { return entryPoints_; }

 private:
  void* handle_ = nullptr;
  DriverEntryPoints entryPoints_;
};

}  // namespace zephlor::host
