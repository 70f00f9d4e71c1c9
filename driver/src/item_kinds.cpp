#include "item_kinds.h"

#include "wirelex.h"

namespace osterfell {
namespace {

// The codec's builders take each address number as a separate argument; these adapters give
// every kind's builders one shape so the kinds fit in one table. `m` is the level modifier,
// which only the load level lines carry. The parsers are wrapped too: an imported function's
// address is only known once the DLL is loaded, an adapter's is a constant.
using A = const IA::Fields&;

// Indexed by ItemKind. Constant-initialised, so the table is ready without any start-up code
// (the Windows DLLs run none).
constexpr KindOps kKinds[] = {
    // Firmware: read only
    {[](A a, char* l, int32_t* n) { return FillQueryFirmware(a.addr1, l, n); },  //
     nullptr, nullptr, nullptr, 1},
    // LedState
    {[](A a, char* l, int32_t* n) { return FillQueryLEDState(a.addr1, a.addr2, a.addr3, l, n); },
     [](const char* r, int32_t* o) { return ParseLEDState(r, o); },
     [](A a, int32_t v, int32_t, char* l, int32_t* n) {
       return FillSetLEDState(a.addr1, a.addr2, a.addr3, v, l, n);
     },
     [](const char* r, int32_t e) { return ParseSetLEDState(r, e); }, 3},
    // ModuleLoadLevel
    {[](A a, char* l, int32_t* n) {
       return FillQueryModuleLoadLevel(a.addr1, a.addr2, a.addr3, a.addr4, l, n);
     },
     [](const char* r, int32_t* o) { return ParseModuleLoadLevel(r, o); },
     [](A a, int32_t v, int32_t m, char* l, int32_t* n) {
       return FillSetModuleLoadLevel(a.addr1, a.addr2, a.addr3, a.addr4, v, m, l, n);
     },
     [](const char* r, int32_t e) { return ParseSetModuleLoadLevel(r, e); }, 4},
    // StationLoadLevel
    {[](A a, char* l, int32_t* n) {
       return FillQueryStationLoadLevel(a.addr1, a.addr2, a.addr3, l, n);
     },
     [](const char* r, int32_t* o) { return ParseStationLoadLevel(r, o); },
     [](A a, int32_t v, int32_t m, char* l, int32_t* n) {
       return FillSetStationLoadLevel(a.addr1, a.addr2, a.addr3, v, m, l, n);
     },
     [](const char* r, int32_t e) { return ParseSetStationLoadLevel(r, e); }, 3},
    // ContactorLoadLevel
    {[](A a, char* l, int32_t* n) { return FillQueryContactorLoadLevel(a.addr1, l, n); },
     [](const char* r, int32_t* o) { return ParseContactorLoadLevel(r, o); },
     [](A a, int32_t v, int32_t m, char* l, int32_t* n) {
       return FillSetContactorLoadLevel(a.addr1, v, m, l, n);
     },
     [](const char* r, int32_t e) { return ParseSetContactorLoadLevel(r, e); }, 1},
    // Thermostat
    {[](A a, char* l, int32_t* n) { return FillQueryThermostat(a.addr1, a.addr2, a.addr3, l, n); },
     [](const char* r, int32_t* o) { return ParseThermostat(r, o); },
     [](A a, int32_t v, int32_t, char* l, int32_t* n) {
       return FillSetThermostat(a.addr1, a.addr2, a.addr3, v, l, n);
     },
     [](const char* r, int32_t e) { return ParseSetThermostat(r, e); }, 3},
    // Switch
    {[](A a, char* l, int32_t* n) { return FillQuerySwitch(a.addr1, a.addr2, a.addr3, l, n); },
     [](const char* r, int32_t* o) { return ParseSwitch(r, o); },
     [](A a, int32_t v, int32_t, char* l, int32_t* n) {
       return FillSetSwitch(a.addr1, a.addr2, a.addr3, v, l, n);
     },
     [](const char* r, int32_t e) { return ParseSetSwitch(r, e); }, 3},
    // ModuleLoadProfile: write only
    {nullptr, nullptr,
     [](A a, int32_t v, int32_t, char* l, int32_t* n) {
       return FillSetModuleLoadProfile(a.addr1, a.addr2, a.addr3, a.addr4, v, l, n);
     },
     [](const char* r, int32_t e) { return ParseSetModuleLoadProfile(r, e); }, 4},
    // StationLoadProfile: write only
    {nullptr, nullptr,
     [](A a, int32_t v, int32_t, char* l, int32_t* n) {
       return FillSetStationLoadProfile(a.addr1, a.addr2, a.addr3, v, l, n);
     },
     [](const char* r, int32_t e) { return ParseSetStationLoadProfile(r, e); }, 3},
    // Modifier: answered and stored by the driver itself; every such item is addressed alike.
    {nullptr, nullptr, nullptr, nullptr, 0},
};

constexpr unsigned kServedKinds = sizeof(kKinds) / sizeof(kKinds[0]);
static_assert(kServedKinds == static_cast<unsigned>(ItemKind::Modifier) + 1,
              "one row per item kind");

}  // namespace

const KindOps* opsForKind(unsigned char kind) {
  return kind < kServedKinds ? &kKinds[kind] : nullptr;
}

}  // namespace osterfell
