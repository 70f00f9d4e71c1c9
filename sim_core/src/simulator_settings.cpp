#include "zephlor_sim/simulator_settings.h"

#include "zephlor_text/whole_number.h"

namespace zephlor::sim {
namespace {

constexpr long long kLongestDelayMilliseconds = 600000;

const char* const kSettings[] = {"firmware-version", "firmware-date", "fault", "delay-ms", "seed"};

}  // namespace

bool isSimulatorSetting(std::string_view name) {
  for (const char* setting : kSettings) {
    if (name == setting) return true;
  }
  return false;
}

bool applySimulatorSetting(std::string_view name, const std::string& value,
                           SimulatorSettings& settings, std::string& form) {
  long long number = 0;
  if (name == "firmware-version") {
    form = kFirmwareVersionForm;
    if (!isValidFirmwareVersion(value)) return false;
    settings.firmware.version = value;
    return true;
  }
  if (name == "firmware-date") {
    form = kFirmwareDateForm;
    if (!isValidFirmwareDate(value)) return false;
    settings.firmware.date = value;
    return true;
  }
  if (name == "fault") {
    form = faultSettingForm();
    return addFault(settings.faults, value);
  }
  if (name == "delay-ms") {
    form = "milliseconds from 0 to " + std::to_string(kLongestDelayMilliseconds);
    if (!text::parseBounded(value, 0, kLongestDelayMilliseconds, number)) return false;
    settings.faults.delay = std::chrono::milliseconds(number);
    return true;
  }
  form = "a whole number from 0 to 4294967295";  // seed
  if (!text::parseBounded(value, 0, 4294967295LL, number)) return false;
  settings.faults.seed = static_cast<uint32_t>(number);
  return true;
}

}  // namespace zephlor::sim
