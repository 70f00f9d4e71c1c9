#include "zephlor_host/driver_module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <utility>

namespace zephlor::host {
namespace {

#if defined(_WIN32)
void* openModule(const std::string& path) { return LoadLibraryA(path.c_str()); }
void* findSymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeModule(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
std::string lastLoadError() { return "error " + std::to_string(GetLastError()); }
#else
// RTLD_NOW: every import of the plug-in is bound at load, as the Windows loader does.
void* openModule(const std::string& path) { return dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL); }
void* findSymbol(void* handle, const char* name) { return dlsym(handle, name); }
void closeModule(void* handle) { dlclose(handle); }
std::string lastLoadError() {
  const char* message = dlerror();
  return message != nullptr ? message : "unknown error";
}
#endif

}  // namespace

DriverModule::~DriverModule() { unload(); }

DriverModule::DriverModule(DriverModule&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), entryPoints_(other.entryPoints_) {}

DriverModule& DriverModule::operator=(DriverModule&& other) noexcept {
  if (this != &other) {
    unload();
    handle_ = std::exchange(other.handle_, nullptr);
    entryPoints_ = other.entryPoints_;
  }
  return *this;
}

bool DriverModule::load(const std::string& path, std::string& error) {
  unload();
  void* handle = openModule(path);
  if (handle == nullptr) {
    error = "cannot load driver " + path + ": " + lastLoadError();
    return false;
  }
  DriverEntryPoints found;
  const char* missing =
      resolveEntryPoints([handle](const char* name) { return findSymbol(handle, name); }, found);
  if (missing != nullptr) {
    error = std::string("entry point ") + missing + " not found in " + path;
    closeModule(handle);
    return false;
  }
  handle_ = handle;
  entryPoints_ = found;
  return true;
}

void DriverModule::unload() {
  if (handle_ != nullptr) closeModule(handle_);
  handle_ = nullptr;
  entryPoints_ = DriverEntryPoints{};
}

}  // namespace zephlor::host
