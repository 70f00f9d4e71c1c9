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
// Windows' own words for an error, "The specified module could not be found (126)".
std::string systemText(DWORD error) {
  char text[256] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                                      nullptr, error, 0, text, sizeof text, nullptr);
  std::string message(text, length);
  while (!message.empty() && std::string(" .\r\n").find(message.back()) != std::string::npos) {
    message.pop_back();
  }
  return (message.empty() ? "error" : message) + " (" + std::to_string(error) + ")";
}

// The DLLs that the module at `path` imports and that cannot be found, by their names: what error
// 126 means when the module itself is there. The module is mapped without its imports bound.
std::string missingImports(const std::string& path) {
  const HMODULE image = LoadLibraryExA(path.c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
  if (image == nullptr) return "";
  const auto* base = reinterpret_cast<const unsigned char*>(image);
  const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports =
      nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  const std::string folder = path.substr(0, path.find_last_of("/\\") + 1);
  std::string missing;
  for (auto* entry =
           reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
       imports.VirtualAddress != 0 && entry->Name != 0; ++entry) {
    const std::string name = reinterpret_cast<const char*>(base + entry->Name);
    const HMODULE found =
        LoadLibraryExA((folder + name).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    const HMODULE system =
        found != nullptr ? found : LoadLibraryExA(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    if (system == nullptr) missing += (missing.empty() ? "" : ", ") + name;
    if (system != nullptr) FreeLibrary(system);
  }
  FreeLibrary(image);
  return missing;
}

std::string lastLoadError(const std::string& path) {
  const DWORD error = GetLastError();
  const std::string text = systemText(error);
  if (error == ERROR_MOD_NOT_FOUND && GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
    const std::string missing = missingImports(path);
    if (!missing.empty()) return text + ": it needs " + missing + ", which cannot be found";
  }
  if (error == ERROR_BAD_EXE_FORMAT) {
    return text + ": it is not a Windows DLL built for this architecture (" +
           (sizeof(void*) == 8 ? "x64" : "x86") + ")";
  }
  return text;
}
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
std::string lastLoadError(const std::string&) {
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

const char* pluginFileName() { return kPluginFile; }

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
    error = "cannot load driver " + path + ": " + lastLoadError(path);
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
