#include "zephlor_sim/simulator_settings.h"

#include <deque>
#include <map>

#include "zephlor_text/whole_number.h"

namespace zephlor::sim {
namespace {

constexpr long long kLongestDelayMilliseconds = 600000;

// One setting: its option (without the tool's prefix), its group, what a default simulator has
// (empty when nothing is worth telling), and how a value changes the settings (false with the
// value's form when the value is wrong).
struct SettingRow {
  cli::OptionSpec option;
  SettingGroup group;
  std::string (*shown)(const SimulatorSettings& settings);
  bool (*apply)(SimulatorSettings& settings, const std::string& value, std::string& form);
};

bool wholeNumberUpTo(const std::string& value, long long most, long long& number, std::string& form,
                     const char* unit) {
  form = std::string(unit) + " from 0 to " + std::to_string(most);
  return text::parseBounded(value, 0, most, number);
}

// clang-format off
const SettingRow kSettings[] = {
    {{"firmware-version", nullptr, "a version", false, "MAJOR.MINOR",
      "the version in the firmware reply"}, SettingGroup::kFirmware,
     [](const SimulatorSettings& s) { return s.firmware.version; },
     [](SimulatorSettings& s, const std::string& v, std::string& form) {
       form = kFirmwareVersionForm;
       if (!isValidFirmwareVersion(v)) return false;
       s.firmware.version = v;
       return true; }},
    {{"firmware-date", nullptr, "a date", false, "A/B/C",
      "the date in the firmware reply"}, SettingGroup::kFirmware,
     [](const SimulatorSettings& s) { return s.firmware.date; },
     [](SimulatorSettings& s, const std::string& v, std::string& form) {
       form = kFirmwareDateForm;
       if (!isValidFirmwareDate(v)) return false;
       s.firmware.date = v;
       return true; }},
    {{"fault", nullptr, "a fault", true, "KIND[:P]",
      "let KIND strike a reply with probability P (default 1); repeatable. KIND: {kinds}"},
     SettingGroup::kFaults, [](const SimulatorSettings&) { return std::string(); },
     [](SimulatorSettings& s, const std::string& v, std::string& form) {
       form = faultSettingForm();
       return addFault(s.faults, v); }},
    {{"delay-ms", nullptr, "milliseconds", false, "MS",
      "how long a delayed reply is held back"}, SettingGroup::kFaults,
     [](const SimulatorSettings& s) { return std::to_string(s.faults.delay.count()); },
     [](SimulatorSettings& s, const std::string& v, std::string& form) {
       long long number = 0;
       if (!wholeNumberUpTo(v, kLongestDelayMilliseconds, number, form, "milliseconds")) return false;
       s.faults.delay = std::chrono::milliseconds(number);
       return true; }},
    {{"seed", nullptr, "a number", false, "N",
      "the seed of the generator that draws the faults"}, SettingGroup::kFaults,
     [](const SimulatorSettings& s) { return std::to_string(s.faults.seed); },
     [](SimulatorSettings& s, const std::string& v, std::string& form) {
       long long number = 0;
       if (!wholeNumberUpTo(v, 4294967295LL, number, form, "a whole number")) return false;
       s.faults.seed = static_cast<uint32_t>(number);
       return true; }},
};
// clang-format on

std::string faultKinds() {
  std::string kinds;
  for (size_t i = 0; i < kFaultCount; ++i) {
    kinds += (i == 0 ? "" : ", ") + std::string(faultName(static_cast<Fault>(i)));
  }
  return kinds;
}

}  // namespace

const std::vector<cli::OptionSpec>& simulatorSettingOptions(const std::string& prefix) {
  // The options' names must outlive the tables that point at them.
  static std::deque<std::string> names;
  static std::map<std::string, std::vector<cli::OptionSpec>> byPrefix;
  auto [made, fresh] = byPrefix.try_emplace(prefix);
  if (fresh) {
    for (const SettingRow& row : kSettings) {
      cli::OptionSpec option = row.option;
      option.name = names.emplace_back(prefix + row.option.name).c_str();
      made->second.push_back(option);
    }
  }
  return made->second;
}

std::string simulatorSettingsHelp(const std::string& prefix, SettingGroup group, size_t column) {
  const std::vector<cli::OptionSpec>& options = simulatorSettingOptions(prefix);
  const SimulatorSettings byDefault;
  std::string help;
  for (size_t i = 0; i < options.size(); ++i) {
    if (kSettings[i].group != group) continue;
    const std::string shown = kSettings[i].shown(byDefault);
    help += cli::optionHelp(options[i], column, {{"kinds", faultKinds()}},
                            shown.empty() ? "" : " (default " + shown + ")");
  }
  return help;
}

bool applySimulatorSetting(const std::string& prefix, std::string_view option,
                           const std::string& value, SimulatorSettings& settings,
                           std::string& form) {
  for (const SettingRow& row : kSettings) {
    if (option == prefix + row.option.name) return row.apply(settings, value, form);
  }
  return false;
}

}  // namespace zephlor::sim
