// Loads the driver plug-in the way the host does: by file, with its seven entry points resolved
// by the decorated names the platform's C++ toolchain gives them. Nothing here links against the
// driver, so a wrong name or signature in the plug-in shows up as a load failure, as in the host.
#pragma once

#include <string>

#include "osterfell/entry_points.h"

namespace zephlor::host {

struct DriverEntryPoints {
  decltype(&Prepare_xxx) prepare = nullptr;
  decltype(&zCompare_xxx) compare = nullptr;
  decltype(&Set_xxx) set = nullptr;
  decltype(&zReadAny_xxx) readAny = nullptr;
  decltype(&Check_xxx) check = nullptr;
  decltype(&Get_xxx) get = nullptr;
  decltype(&zzStub) stub = nullptr;
};

// The decorated names of the seven entry points under this platform's toolchain, in the order
// of DriverEntryPoints.
struct EntryPointNames {
  const char* prepare;
  const char* compare;
  const char* set;
  const char* readAny;
  const char* check;
  const char* get;
  const char* stub;
};
const EntryPointNames& decoratedEntryPointNames();

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
