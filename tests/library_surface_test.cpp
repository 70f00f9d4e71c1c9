// The dynamic symbol tables of the built libraries, read with binutils: each exports exactly its
// own functions, the plug-in imports all thirty codec functions and binds them at load time.
#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <sstream>
#include <string>

#include "zephlor_host/driver_module.h"

namespace {

const std::set<std::string> kCodecExports = {
    "FillQueryFirmware",
    "FillQueryLEDState",
    "FillQueryModuleLoadLevel",
    "FillQueryStationLoadLevel",
    "FillQueryContactorLoadLevel",
    "FillQueryThermostat",
    "FillQuerySwitch",
    "ParseFirmware",
    "ParseLEDState",
    "ParseModuleLoadLevel",
    "ParseStationLoadLevel",
    "ParseContactorLoadLevel",
    "ParseThermostat",
    "ParseSwitch",
    "FillSetLEDState",
    "FillSetModuleLoadLevel",
    "FillSetStationLoadLevel",
    "FillSetContactorLoadLevel",
    "FillSetThermostat",
    "FillSetSwitch",
    "FillSetModuleLoadProfile",
    "FillSetStationLoadProfile",
    "ParseSetLEDState",
    "ParseSetModuleLoadLevel",
    "ParseSetStationLoadLevel",
    "ParseSetContactorLoadLevel",
    "ParseSetThermostat",
    "ParseSetSwitch",
    "ParseSetModuleLoadProfile",
    "ParseSetStationLoadProfile",
};

// The names the host looks up, written out here rather than taken from the loader, so that a
// change on either side is caught.
const std::set<std::string> kDriverExports = {
    "_Z11Prepare_xxxiPcRiS0_",
    "_Z12zCompare_xxxiR2IAS0_RiPvS2_",
    "_Z7Set_xxxR2IARjS1_RiP6RSDATAPcPv",
    "_Z12zReadAny_xxxR2IARjS1_Pc",
    "_Z9Check_xxxR2IARjS1_S1_PcPvi",
    "_Z7Get_xxxR2IARjRiP6RSDATAPcS2_Pv",
    "_Z6zzStubv",
};

std::string run(const std::string& command) {
  std::string output;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return output;
  char chunk[4096];
  size_t read;
  while ((read = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, read);
  EXPECT_EQ(pclose(pipe), 0) << command;
  return output;
}

// Names of the dynamic symbols that `nm` lists with the given filter.
std::set<std::string> dynamicSymbols(const std::string& library, const std::string& filter) {
  std::istringstream lines(run("nm -D --format=posix " + filter + " '" + library + "'"));
  std::set<std::string> names;
  std::string line;
  while (std::getline(lines, line)) {
    const std::string name = line.substr(0, line.find(' '));
    // Versioned imports read "name@VERSION"; the codec's exports carry no version.
    names.insert(name.substr(0, name.find('@')));
  }
  return names;
}

TEST(LibrarySurface, CodecExportsExactlyItsThirtyFunctions) {
  EXPECT_EQ(dynamicSymbols(WIRELEX_LIBRARY_PATH, "--defined-only"), kCodecExports);
}

TEST(LibrarySurface, DriverExportsExactlyTheSevenEntryPoints) {
  EXPECT_EQ(dynamicSymbols(OSTERFELL_PLUGIN_PATH, "--defined-only"), kDriverExports);
}

TEST(LibrarySurface, LoaderLooksUpTheSameNames) {
  const auto& n = zephlor::host::kDecoratedNames;
  EXPECT_EQ((std::set<std::string>{n.prepare, n.compare, n.set, n.readAny, n.check, n.get, n.stub}),
            kDriverExports);
}

TEST(LibrarySurface, DriverImportsEveryCodecFunctionAndLittleElse) {
  const std::set<std::string> imports = dynamicSymbols(OSTERFELL_PLUGIN_PATH, "--undefined-only");
  for (const std::string& name : kCodecExports) {
    EXPECT_EQ(imports.count(name), 1u) << name << " not imported";
  }
  // Whatever else it imports comes from the C runtime's start-up and tear-down, never from the
  // C++ runtime: the driver throws nothing and allocates nothing.
  for (const std::string& name : imports) {
    if (kCodecExports.count(name) != 0) continue;
    EXPECT_TRUE(name.rfind("__", 0) == 0 || name.rfind("_ITM_", 0) == 0 ||
                name == "_Jv_RegisterClasses")
        << "unexpected import " << name;
  }
}

TEST(LibrarySurface, DriverBindsItsImportsAtLoadAndNeedsTheCodecByName) {
  const std::string dynamic = run(std::string("readelf -d '") + OSTERFELL_PLUGIN_PATH + "'");
  EXPECT_NE(dynamic.find("Shared library: [" WIRELEX_LIBRARY_NAME "]"), std::string::npos)
      << dynamic;
  EXPECT_TRUE(dynamic.find("BIND_NOW") != std::string::npos ||
              dynamic.find("Flags: NOW") != std::string::npos)
      << dynamic;
  EXPECT_EQ(dynamic.find("libstdc++"), std::string::npos) << "the driver needs no C++ runtime";
}

TEST(LibrarySurface, CodecNeedsNoCxxRuntime) {
  const std::string dynamic = run(std::string("readelf -d '") + WIRELEX_LIBRARY_PATH + "'");
  EXPECT_EQ(dynamic.find("libstdc++"), std::string::npos) << dynamic;
}

}  // namespace
