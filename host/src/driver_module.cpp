#include "zephlor_host/driver_module.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <utility>

namespace zephlor::host {
namespace {

#if defined(_MSC_VER) && defined(_WIN64)
constexpr EntryPointNames kNames = {
    "?Prepare_xxx@@YAHHPEADAEAH1@Z",
    "?zCompare_xxx@@YAHHAEATIA@@0AEAHPEAX2@Z",
    "?Set_xxx@@YAXAEATIA@@AEAI1AEAHPEAURSDATA@@PEADPEAX@Z",
    "?zReadAny_xxx@@YAHAEATIA@@AEAI1PEAD@Z",
    "?Check_xxx@@YAHAEATIA@@AEAI11PEADPEAXH@Z",
    "?Get_xxx@@YAHAEATIA@@AEAIAEAHPEAURSDATA@@PEAD2PEAX@Z",
    "?zzStub@@YAXXZ",
};
#elif defined(_MSC_VER)
constexpr EntryPointNames kNames = {
    "?Prepare_xxx@@YAHHPADAAH1@Z",
    "?zCompare_xxx@@YAHHAATIA@@0AAHPAX2@Z",
    "?Set_xxx@@YAXAATIA@@AAI1AAHPAURSDATA@@PADPAX@Z",
    "?zReadAny_xxx@@YAHAATIA@@AAI1PAD@Z",
    "?Check_xxx@@YAHAATIA@@AAI11PADPAXH@Z",
    "?Get_xxx@@YAHAATIA@@AAIAAHPAURSDATA@@PAD2PAX@Z",
    "?zzStub@@YAXXZ",
};
#else  // the Itanium C++ ABI of g++ and clang
constexpr EntryPointNames kNames = {
    "_Z11Prepare_xxxiPcRiS0_",
    "_Z12zCompare_xxxiR2IAS0_RiPvS2_",
    "_Z7Set_xxxR2IARjS1_RiP6RSDATAPcPv",
    "_Z12zReadAny_xxxR2IARjS1_Pc",
    "_Z9Check_xxxR2IARjS1_S1_PcPvi",
    "_Z7Get_xxxR2IARjRiP6RSDATAPcS2_Pv",
    "_Z6zzStubv",
};
#endif

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

template <typename Function>
bool resolve(void* handle, const char* name, Function& function, std::string& error) {
  void* symbol = findSymbol(handle, name);
  if (symbol == nullptr) {
    error = std::string("entry point ") + name + " not found";
    return false;
  }
  function = reinterpret_cast<Function>(symbol);
  return true;
}

}  // namespace

const EntryPointNames& decoratedEntryPointNames() { return kNames; }

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
  const bool complete = resolve(handle, kNames.prepare, found.prepare, error) &&
                        resolve(handle, kNames.compare, found.compare, error) &&
                        resolve(handle, kNames.set, found.set, error) &&
                        resolve(handle, kNames.readAny, found.readAny, error) &&
                        resolve(handle, kNames.check, found.check, error) &&
                        resolve(handle, kNames.get, found.get, error) &&
                        resolve(handle, kNames.stub, found.stub, error);
  if (!complete) {
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
