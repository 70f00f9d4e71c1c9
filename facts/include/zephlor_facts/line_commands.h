// The controller's request lines, one row each: the two letters after "V" in the request (and
// after "R" in its reply), what the request does, the item kind it names, how many address
// numbers follow the "#", and whether a level modifier may follow the value. The simulator
// answers by these rows; the line monitor and the Wireshark dissector read lines by them.
#pragma once

#include <string_view>

#include "osterfell/host_records.h"

namespace zephlor::facts {

enum class LineAction : unsigned char { kFirmware, kQuery, kSet };

struct LineCommand {
  char mnemonic[3];
  LineAction action;
  ItemKind kind;
  int addressCount;
  bool takesModifier;  // an optional 16-bit number after the value
};

// clang-format off
inline constexpr LineCommand kLineCommands[] = {
    {"GV", LineAction::kFirmware, ItemKind::Firmware,           1, false},
    {"LS", LineAction::kQuery,    ItemKind::LedState,           3, false},
    {"GB", LineAction::kQuery,    ItemKind::ModuleLoadLevel,    4, false},
    {"GC", LineAction::kQuery,    ItemKind::StationLoadLevel,   3, false},
    {"GL", LineAction::kQuery,    ItemKind::ContactorLoadLevel, 1, false},
    {"GH", LineAction::kQuery,    ItemKind::Thermostat,         3, false},
    {"GS", LineAction::kQuery,    ItemKind::Switch,             3, false},
    {"LD", LineAction::kSet,      ItemKind::LedState,           3, false},
    {"LB", LineAction::kSet,      ItemKind::ModuleLoadLevel,    4, true},
    {"LC", LineAction::kSet,      ItemKind::StationLoadLevel,   3, true},
    {"LO", LineAction::kSet,      ItemKind::ContactorLoadLevel, 1, true},
    {"SH", LineAction::kSet,      ItemKind::Thermostat,         3, false},
    {"SW", LineAction::kSet,      ItemKind::Switch,             3, false},
    {"LP", LineAction::kSet,      ItemKind::ModuleLoadProfile,  4, false},
    {"SP", LineAction::kSet,      ItemKind::StationLoadProfile, 3, false},
};
// clang-format on

// The command of `mnemonic`, or null.
inline constexpr const LineCommand* lineCommandOf(std::string_view mnemonic) {
  for (const LineCommand& command : kLineCommands) {
    if (mnemonic == command.mnemonic) return &command;
  }
  return nullptr;
}

}  // namespace zephlor::facts
