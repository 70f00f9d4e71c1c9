#include "item_kinds.h"

#include "wirelex.h"

namespace osterfell {
namespace {

// The codec's builders take each address number as a separate argument; these adapters give
// every kind's builders one shape so the kinds fit in one table. Only the load level lines carry
// the level modifier. The parsers are wrapped too: an imported function's address is only known
// once the DLL is loaded, an adapter's is a constant.
using Item = const IA::Fields&;

// Indexed by ItemKind. Constant-initialised, so the table is ready without any start-up code
// (the Windows DLLs run none).
// clang-format off
constexpr KindOps kKinds[] = {
    {ItemKind::Firmware, 1,
     Read{[](Item item, char* line, int32_t* length) {
            return FillQueryFirmware(item.addr1, line, length); },
          nullptr},
     kNotWritable},
    {ItemKind::LedState, 3,
     Read{[](Item item, char* line, int32_t* length) {
            return FillQueryLEDState(item.addr1, item.addr2, item.addr3, line, length); },
          [](const char* reply, int32_t* value) { return ParseLEDState(reply, value); }},
     Write{[](Item item, int32_t value, int32_t, char* line, int32_t* length) {
             return FillSetLEDState(item.addr1, item.addr2, item.addr3, value, line, length); },
           [](const char* reply, int32_t expected) { return ParseSetLEDState(reply, expected); }}},
    {ItemKind::ModuleLoadLevel, 4,
     Read{[](Item item, char* line, int32_t* length) {
            return FillQueryModuleLoadLevel(item.addr1, item.addr2, item.addr3, item.addr4, line,
                                            length); },
          [](const char* reply, int32_t* value) { return ParseModuleLoadLevel(reply, value); }},
     Write{[](Item item, int32_t value, int32_t modifier, char* line, int32_t* length) {
             return FillSetModuleLoadLevel(item.addr1, item.addr2, item.addr3, item.addr4, value,
                                           modifier, line, length); },
           [](const char* reply, int32_t expected) {
             return ParseSetModuleLoadLevel(reply, expected); }}},
    {ItemKind::StationLoadLevel, 3,
     Read{[](Item item, char* line, int32_t* length) {
            return FillQueryStationLoadLevel(item.addr1, item.addr2, item.addr3, line, length); },
          [](const char* reply, int32_t* value) { return ParseStationLoadLevel(reply, value); }},
     Write{[](Item item, int32_t value, int32_t modifier, char* line, int32_t* length) {
             return FillSetStationLoadLevel(item.addr1, item.addr2, item.addr3, value, modifier,
                                            line, length); },
           [](const char* reply, int32_t expected) {
             return ParseSetStationLoadLevel(reply, expected); }}},
    {ItemKind::ContactorLoadLevel, 1,
     Read{[](Item item, char* line, int32_t* length) {
            return FillQueryContactorLoadLevel(item.addr1, line, length); },
          [](const char* reply, int32_t* value) { return ParseContactorLoadLevel(reply, value); }},
     Write{[](Item item, int32_t value, int32_t modifier, char* line, int32_t* length) {
             return FillSetContactorLoadLevel(item.addr1, value, modifier, line, length); },
           [](const char* reply, int32_t expected) {
             return ParseSetContactorLoadLevel(reply, expected); }}},
    {ItemKind::Thermostat, 3,
     Read{[](Item item, char* line, int32_t* length) {
            return FillQueryThermostat(item.addr1, item.addr2, item.addr3, line, length); },
          [](const char* reply, int32_t* value) { return ParseThermostat(reply, value); }},
     Write{[](Item item, int32_t value, int32_t, char* line, int32_t* length) {
             return FillSetThermostat(item.addr1, item.addr2, item.addr3, value, line, length); },
           [](const char* reply, int32_t expected) { return ParseSetThermostat(reply, expected); }}},
    {ItemKind::Switch, 3,
     Read{[](Item item, char* line, int32_t* length) {
            return FillQuerySwitch(item.addr1, item.addr2, item.addr3, line, length); },
          [](const char* reply, int32_t* value) { return ParseSwitch(reply, value); }},
     Write{[](Item item, int32_t value, int32_t, char* line, int32_t* length) {
             return FillSetSwitch(item.addr1, item.addr2, item.addr3, value, line, length); },
           [](const char* reply, int32_t expected) { return ParseSetSwitch(reply, expected); }}},
    {ItemKind::ModuleLoadProfile, 4,
     kNotReadable,
     Write{[](Item item, int32_t value, int32_t, char* line, int32_t* length) {
             return FillSetModuleLoadProfile(item.addr1, item.addr2, item.addr3, item.addr4, value,
                                             line, length); },
           [](const char* reply, int32_t expected) {
             return ParseSetModuleLoadProfile(reply, expected); }}},
    {ItemKind::StationLoadProfile, 3,
     kNotReadable,
     Write{[](Item item, int32_t value, int32_t, char* line, int32_t* length) {
             return FillSetStationLoadProfile(item.addr1, item.addr2, item.addr3, value, line,
                                              length); },
           [](const char* reply, int32_t expected) {
             return ParseSetStationLoadProfile(reply, expected); }}},
    // Answered and stored by the driver itself; every such item is addressed alike.
    {ItemKind::Modifier, 0, kNotReadable, kNotWritable},
};
// clang-format on

constexpr bool eachRowIsItsKind() {
  for (unsigned i = 0; i < sizeof kKinds / sizeof kKinds[0]; ++i) {
    if (static_cast<unsigned>(kKinds[i].kind) != i) return false;
  }
  return true;
}
static_assert(eachRowIsItsKind(), "row i of the table is ItemKind i");

constexpr unsigned kServedKinds = sizeof(kKinds) / sizeof(kKinds[0]);
static_assert(kServedKinds == static_cast<unsigned>(ItemKind::Modifier) + 1,
              "one row per item kind");

}  // namespace

const KindOps* opsForKind(unsigned char kind) {
  return kind < kServedKinds ? &kKinds[kind] : nullptr;
}

}  // namespace osterfell
