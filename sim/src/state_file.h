// The controller's values kept in a file between runs (--state FILE): one item a line, as the
// tools name it, "station-level 1 2 3 = 75"; blank lines and lines starting with # are passed
// over. 8-bit items hold 0 to 255, the thermostat any signed 32-bit number.
#pragma once

#include <string>

#include "zephlor_sim/controller_model.h"

namespace zephlor::sim {

// Loads `path` into `controller`; a file that does not exist yet loads nothing. False with the
// line number and what is wrong in `error`.
bool loadState(const std::string& path, ControllerModel& controller, std::string& error);

// Writes every value of `controller` to `path` (through a temporary file, renamed into place).
bool saveState(const std::string& path, const ControllerModel& controller, std::string& error);

}  // namespace zephlor::sim
