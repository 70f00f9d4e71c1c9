#include "options.h"

#include "option_rows.h"

#include <cstdlib>
#include <map>
#include <utility>

#include "zephlor_cli/options.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl {
namespace {

// Pairs of options that cannot stand together, and why.
const struct {
  const char* first;
  const char* second;
  const char* why;
} kConflicts[] = {
    {"--lenient", "--strict", "--lenient and --strict cannot be used together"},
    {"--sim", "--device",
     "--sim and --device cannot be used together: the built-in simulator is the line"},
};

template <typename Target>
void addDefinitions(const std::vector<OptionRow<Target>>& rows, std::vector<cli::OptionSpec>& to) {
  for (const OptionRow<Target>& row : rows) to.push_back(row.definition);
}

// Each row's default, as if it had been given.
template <typename Target>
void applyDefaults(const std::vector<OptionRow<Target>>& rows, Target& target) {
  for (const OptionRow<Target>& row : rows) {
    if (row.byDefault != nullptr) row.apply(target, row.byDefault, row.bounds);
  }
}

// Applies the rows' options given in `parsed` to `target`. A problem is the option's error, or,
// for a value `variables` says came from the environment, kept aside in `environmentError`.
template <typename Target>
bool applyRows(const std::vector<OptionRow<Target>>& rows, const cli::ParsedOptions& parsed,
               const std::map<std::string, std::string>& variables, Target& target,
               std::string& environmentError, std::string& error) {
  for (const OptionRow<Target>& row : rows) {
    if (!parsed.has(row.definition.name) || row.apply == nullptr) continue;
    const std::string& value = parsed.value(row.definition.name);
    const Problem problem = row.apply(target, value, row.bounds);
    if (problem.empty()) continue;
    const auto variable = variables.find(row.definition.name);
    if (variable == variables.end()) {
      error = std::string(row.definition.name) + " " + problem;
      return false;
    }
    environmentError = variable->second + " " + problem + " (the environment has " +
                       text::quotedBytes(value) + ")";
  }
  return true;
}

}  // namespace

bool parseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error) {
  std::vector<cli::OptionSpec> definitions;
  addDefinitions(lineOptions(), definitions);
  addDefinitions(commandOptions(), definitions);
  const std::vector<cli::OptionSpec>& simulator = sim::simulatorSettingOptions(kSimulatorPrefix);
  definitions.insert(definitions.end(), simulator.begin(), simulator.end());
  cli::ParsedOptions parsed;
  if (!cli::parseOptions(arguments, definitions, true, parsed, error)) return false;
  commandLine.words = parsed.words;
  // Defaults from the environment, where the command line says nothing. A wrong one is told as
  // the variable's; it stops only a command that uses the line, never --help, --version or
  // list-ports, so it is kept aside in `environmentError`.
  std::map<std::string, std::string> variables;  // option -> the variable that gave it
  for (const auto& [variable, option] :
       {std::pair{"ZEPHLOR_DEVICE", "--device"}, std::pair{"ZEPHLOR_BAUD", "--baud"},
        std::pair{"ZEPHLOR_TIMEOUT", "--timeout"}}) {
    const char* value = std::getenv(variable);
    const bool simulated = parsed.has("--sim") && std::string(option) == "--device";
    if (value != nullptr && *value != '\0' && !parsed.has(option) && !simulated) {
      parsed.given[option] = {value};
      variables[option] = variable;
    }
  }
  for (const auto& conflict : kConflicts) {
    if (parsed.has(conflict.first) && parsed.has(conflict.second) &&
        variables.count(conflict.second) == 0) {
      error = conflict.why;
      return false;
    }
  }
  applyDefaults(lineOptions(), commandLine);
  if (!applyRows(lineOptions(), parsed, variables, commandLine, commandLine.environmentError,
                 error) ||
      !applyRows(commandOptions(), parsed, {}, commandLine.commandOptions,
                 commandLine.environmentError, error)) {
    return false;
  }
  for (const auto& [option, values] : parsed.given) {
    if (option.rfind(kSimulatorPrefix, 0) != 0) continue;
    for (const std::string& value : values) {
      std::string form;
      if (!sim::applySimulatorSetting(kSimulatorPrefix, option, value,
                                      commandLine.connection.simulator, form)) {
        error = option + " takes " + form;
        return false;
      }
    }
  }
  if (commandLine.output.localTime && commandLine.output.format != Format::kCsv) {
    error = "--local-time goes with --format csv: JSON and text keep UTC";
    return false;
  }
  if (commandLine.output.append && commandLine.output.file.empty()) {
    error = "--append needs --output FILE";
    return false;
  }
  if (parsed.has("--baud") && variables.count("--baud") == 0 &&
      io::isTcpAddress(commandLine.connection.device)) {
    error = "--baud cannot be used with a tcp: device: the speed is the device server's setting";
    return false;
  }
  return true;
}

bool parseCommandOptions(const std::vector<std::string>& words, CommandOptions& options,
                         std::vector<std::string>& rest, std::string& error) {
  std::vector<cli::OptionSpec> definitions;
  addDefinitions(commandOptions(), definitions);
  cli::ParsedOptions parsed;
  if (!cli::parseOptions(words, definitions, true, parsed, error)) return false;
  rest = parsed.words;
  std::string unused;
  return applyRows(commandOptions(), parsed, {}, options, unused, error);
}

}  // namespace zephlor::ctl
