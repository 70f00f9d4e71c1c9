// The simulator's settings as options name them, shared by zephlor-sim ("--seed") and
// zephlorctl's built-in simulator ("--sim-seed").
#pragma once

#include <string>
#include <string_view>

#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/fault_injector.h"

namespace zephlor::sim {

struct SimulatorSettings {
  FirmwareIdentity firmware;
  FaultPlan faults;
};

// Whether `name` is one of "firmware-version", "firmware-date", "fault", "delay-ms", "seed".
bool isSimulatorSetting(std::string_view name);

// Applies setting `name` with `value`. When the value is wrong, returns false and puts what the
// setting takes in `form` (such as "MAJOR.MINOR, such as 2.10").
bool applySimulatorSetting(std::string_view name, const std::string& value,
                           SimulatorSettings& settings, std::string& form);

}  // namespace zephlor::sim
