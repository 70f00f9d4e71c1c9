// The seven entry points as the host finds them: their decorated names under each C++ ABI the
// host may be built with, and a table of pointers to them. Plain C++ without the standard
// library, so the Windows test host can use it as it is.
#pragma once

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

// In the order of DriverEntryPoints.
struct EntryPointNames {
  const char* prepare;
  const char* compare;
  const char* set;
  const char* readAny;
  const char* check;
  const char* get;
  const char* stub;
};

// On Windows the plug-in is always built with the Microsoft C++ ABI, whatever compiler built the
// host (mingw-w64's g++ included), so those are the names to look up there.
#if defined(_WIN64)
// The Microsoft C++ ABI, x64.
constexpr EntryPointNames kDecoratedNames = {
    "?Prepare_xxx@@YAHHPEADAEAH1@Z",
    "?zCompare_xxx@@YAHHAEATIA@@0AEAHPEAX2@Z",
    "?Set_xxx@@YAXAEATIA@@AEAI1AEAHPEAURSDATA@@PEADPEAX@Z",
    "?zReadAny_xxx@@YAHAEATIA@@AEAI1PEAD@Z",
    "?Check_xxx@@YAHAEATIA@@AEAI11PEADPEAXH@Z",
    "?Get_xxx@@YAHAEATIA@@AEAIAEAHPEAURSDATA@@PEAD2PEAX@Z",
    "?zzStub@@YAXXZ",
};
#elif defined(_WIN32)
// The Microsoft C++ ABI, x86.
constexpr EntryPointNames kDecoratedNames = {
    "?Prepare_xxx@@YAHHPADAAH1@Z",
    "?zCompare_xxx@@YAHHAATIA@@0AAHPAX2@Z",
    "?Set_xxx@@YAXAATIA@@AAI1AAHPAURSDATA@@PADPAX@Z",
    "?zReadAny_xxx@@YAHAATIA@@AAI1PAD@Z",
    "?Check_xxx@@YAHAATIA@@AAI11PADPAXH@Z",
    "?Get_xxx@@YAHAATIA@@AAIAAHPAURSDATA@@PAD2PAX@Z",
    "?zzStub@@YAXXZ",
};
#else
// The Itanium C++ ABI of g++ and clang.
constexpr EntryPointNames kDecoratedNames = {
    "_Z11Prepare_xxxiPcRiS0_",
    "_Z12zCompare_xxxiR2IAS0_RiPvS2_",
    "_Z7Set_xxxR2IARjS1_RiP6RSDATAPcPv",
    "_Z12zReadAny_xxxR2IARjS1_Pc",
    "_Z9Check_xxxR2IARjS1_S1_PcPvi",
    "_Z7Get_xxxR2IARjRiP6RSDATAPcS2_Pv",
    "_Z6zzStubv",
};
#endif

// Looks `name` up with `find` and stores it, typed, in `slot`; false if it is not there.
template <typename Find, typename Function>
bool resolveEntryPoint(Find find, const char* name, Function& slot) {
  void* symbol = find(name);
  slot = reinterpret_cast<Function>(symbol);
  return symbol != nullptr;
}

// Fills `entryPoints` by looking each name up with `find` (dlsym, GetProcAddress, ...). Returns
// the name that was not found, or null when all seven were.
template <typename Find>
const char* resolveEntryPoints(Find find, DriverEntryPoints& entryPoints) {
  const EntryPointNames& n = kDecoratedNames;
  if (!resolveEntryPoint(find, n.prepare, entryPoints.prepare)) return n.prepare;
  if (!resolveEntryPoint(find, n.compare, entryPoints.compare)) return n.compare;
  if (!resolveEntryPoint(find, n.set, entryPoints.set)) return n.set;
  if (!resolveEntryPoint(find, n.readAny, entryPoints.readAny)) return n.readAny;
  if (!resolveEntryPoint(find, n.check, entryPoints.check)) return n.check;
  if (!resolveEntryPoint(find, n.get, entryPoints.get)) return n.get;
  if (!resolveEntryPoint(find, n.stub, entryPoints.stub)) return n.stub;
  return nullptr;
}

}  // namespace zephlor::host
