// Every item kind as a person names it, written once for all the tools: zephlorctl's command
// lines and help, the simulator's state file, and the gateway's configuration read it.
#pragma once

#include <string>
#include <string_view>

#include "osterfell/host_records.h"
#include "zephlor_text/table_rows.h"

namespace zephlor::facts {

// What a kind's value may be.
enum class ValueRule : unsigned char {
  kLowByte,   // carried as its low 8 bits on the line, 0 to 255 when read
  kWhole32,   // a signed 32-bit number, written whole
  kFirmware,  // read only: version and date, five values
  kModifier,  // the driver's level modifier: 16 bits, never on the line by itself
};

struct ItemKindInfo {
  const char* name;
  ItemKind kind;
  int addressCount;
  bool readable;
  bool writable;
  ValueRule value;
  const char* note;  // for --help, empty when the kind needs none
};

// clang-format off
inline constexpr ItemKindInfo kItemCatalogue[] = {
    {"firmware",        ItemKind::Firmware,           1, true,  false, ValueRule::kFirmware,
     "read only; five values: version and date"},
    {"led",             ItemKind::LedState,           3, true,  true,  ValueRule::kLowByte, ""},
    {"module-level",    ItemKind::ModuleLoadLevel,    4, true,  true,  ValueRule::kLowByte, ""},
    {"station-level",   ItemKind::StationLoadLevel,   3, true,  true,  ValueRule::kLowByte, ""},
    {"contactor-level", ItemKind::ContactorLoadLevel, 1, true,  true,  ValueRule::kLowByte, ""},
    {"thermostat",      ItemKind::Thermostat,         3, true,  true,  ValueRule::kWhole32,
     "the set point is written whole, signed"},
    {"switch",          ItemKind::Switch,             3, true,  true,  ValueRule::kLowByte, ""},
    {"module-profile",  ItemKind::ModuleLoadProfile,  4, false, true,  ValueRule::kLowByte,
     "write only"},
    {"station-profile", ItemKind::StationLoadProfile, 3, false, true,  ValueRule::kLowByte,
     "write only"},
    {"modifier",        ItemKind::Modifier,           0, true,  true,  ValueRule::kModifier,
     "the driver's level modifier, carried by every later module-level, station-level and "
     "contactor-level write while it is not 0"},
};
// clang-format on

static_assert(text::rowsFollowTheirKeys(kItemCatalogue, &ItemKindInfo::kind),
              "row i of the item catalogue is ItemKind i");

// The kind named `name`, or null.
const ItemKindInfo* itemKindNamed(std::string_view name);
inline const ItemKindInfo& itemKindInfo(ItemKind kind) {
  return kItemCatalogue[static_cast<unsigned>(kind)];
}

// The kinds for --help, one a line: the name, its address numbers and its note.
std::string itemCatalogueHelp();

// The whole values a writable kind takes: a load level, LED, switch or profile 0 to 255, a
// thermostat a signed 32-bit number, the level modifier 0 to 65535.
struct ValueBounds {
  double least;
  double most;
};
ValueBounds valueBounds(const ItemKindInfo& kind);
// "0 to 255", as help and refusals tell them.
std::string boundsText(const ValueBounds& bounds);

// Why `kind` cannot carry `value` to the controller as it is, or empty when it can. Every tool
// refuses such a value rather than send another one (75.6 as 75, 300 as 44); zephlorctl sends
// what the line makes of it only when asked to (--truncate). The driver hands values over as
// 32-bit floats, so a value a float cannot hold exactly is refused too.
std::string valueProblem(const ItemKindInfo& kind, double value);

}  // namespace zephlor::facts
