#include "zephlor_host/driver_module.h"

#include <filesystem>

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#include <unistd.h>
#endif

#include <utility>

namespace zephlor::host {
namespace {

#if defined(_WIN32)
constexpr char kPluginFile[] = "osterfell.dll";
std::string executablePath() {
  char path[MAX_PATH * 4];
  const DWORD length = GetModuleFileNameA(nullptr, path, sizeof path);
  return length > 0 && length < sizeof path ? std::string(path, length) : "";
}
void* openModule(const std::string& path) { return LoadLibraryA(path.c_str()); }
void* findSymbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}
void closeModule(void* handle) { FreeLibrary(static_cast<HMODULE>(handle)); }
std::string lastLoadError() { return "error " + std::to_string(GetLastError()); }
#else
constexpr char kPluginFile[] = "osterfell.so";
std::string executablePath() {
  char path[4096];
  const ssize_t length = readlink("/proc/self/exe", path, sizeof path - 1);
  return length > 0 ? std::string(path, static_cast<size_t>(length)) : "";
}
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

std::vector<std::string> defaultPluginPaths() {
  const std::string executable = executablePath();
  const size_t folderEnd = executable.find_last_of("/\\");
  const std::string folder =
      folderEnd == std::string::npos ? "" : executable.substr(0, folderEnd + 1);
  return {folder + kPluginFile, folder + ZEPHLOR_INSTALLED_PLUGIN_FOLDER + "/" + kPluginFile};
}

std::string defaultPluginPath() {
  const std::vector<std::string> candidates = defaultPluginPaths();
  for (const std::string& candidate : candidates) {
    std::error_code ignored;
    if (std::filesystem::exists(candidate, ignored)) return candidate;
  }
  return candidates.front();
}

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
