// What a simulated controller is: its firmware identity and the faults its replies suffer. Both
// zephlor-sim (as --fault, --seed, ...) and zephlorctl's built-in simulator (as --sim-fault,
// --sim-seed, ...) take them from the one table of settings here, their help included.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "zephlor_cli/options.h"
#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/fault_injector.h"

namespace zephlor::sim {

struct SimulatorSettings {
  FirmwareIdentity firmware;
  FaultPlan faults;
};

// The groups the settings are told in: the controller's identity, then its faults.
enum class SettingGroup { kFirmware, kFaults };

// The settings as options named `prefix` followed by the setting's name ("--" for zephlor-sim,
// "--sim-" for zephlorctl), in the table's order.
const std::vector<cli::OptionSpec>& simulatorSettingOptions(const std::string& prefix);

// The --help rows of one group's options named with `prefix`, each with its default.
std::string simulatorSettingsHelp(const std::string& prefix, SettingGroup group, size_t column);

// Applies the option `option` (named with `prefix`) to `settings`. False when it is none of the
// settings, or when its value is wrong, then with the value's form in `form`.
bool applySimulatorSetting(const std::string& prefix, std::string_view option,
                           const std::string& value, SimulatorSettings& settings,
                           std::string& form);

}  // namespace zephlor::sim
