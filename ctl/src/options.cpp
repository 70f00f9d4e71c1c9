#include "options.h"

#include <cstdlib>
#include <map>
#include <utility>

#include "zephlor_cli/options.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl {
namespace {

using std::chrono::milliseconds;

// What is wrong with an option's value, worded to follow the option's name ("takes one of ..."),
// or nothing when it was taken.
using Problem = std::string;

// One option: its definition, and how its value changes `Target`.
template <typename Target>
struct OptionRow {
  cli::OptionSpec definition;
  Problem (*apply)(Target& target, const std::string& value);
};

Problem wholeNumber(const std::string& value, long long low, long long high, long long& number,
                    const char* unit = "a whole number") {
  if (text::parseBounded(value, low, high, number)) return "";
  return std::string("takes ") + unit + " from " + std::to_string(low) + " to " +
         std::to_string(high);
}

// The options of the line, the results and the program itself. A --sim-... option is one of
// the simulator's settings, shared with zephlor-sim.
// clang-format off
const OptionRow<CommandLine> kLineOptions[] = {
    {{"--help", "-h", nullptr, true}, [](CommandLine& c, const std::string&) -> Problem {
       c.help = true; return ""; }},
    {{"--version", "-V", nullptr, true}, [](CommandLine& c, const std::string&) -> Problem {
       c.version = true; return ""; }},
    {{"--device", "-d", "a device path"}, [](CommandLine& c, const std::string& v) -> Problem {
       const std::string problem = io::deviceNameProblem(v);
       if (!problem.empty()) return "is wrong: " + problem;
       c.connection.device = v;
       return ""; }},
    {{"--baud", "-b", "a speed"}, [](CommandLine& c, const std::string& v) -> Problem {
       if (io::parseBaud(v, c.connection.baud)) return "";
       return "takes one of " + io::supportedBauds(); }},
    {{"--timeout", "-t", "milliseconds"}, [](CommandLine& c, const std::string& v) -> Problem {
       long long number = 0;
       Problem problem = wholeNumber(v, 1, 600000, number, "milliseconds");
       if (problem.empty()) c.connection.timeout = milliseconds(number);
       return problem; }},
    {{"--sim", nullptr, nullptr}, [](CommandLine& c, const std::string&) -> Problem {
       c.connection.simulate = true; return ""; }},
    {{"--sim-firmware-version", nullptr, "a version"}, nullptr},
    {{"--sim-firmware-date", nullptr, "a date"}, nullptr},
    {{"--sim-fault", nullptr, "a fault", true}, nullptr},
    {{"--sim-delay-ms", nullptr, "milliseconds"}, nullptr},
    {{"--sim-seed", nullptr, "a number"}, nullptr},
    {{"--driver", nullptr, "the plug-in's path"}, [](CommandLine& c, const std::string& v) -> Problem {
       if (v.empty()) return "needs the plug-in's path, not an empty word";
       // A bare file name is a file in the working directory, never one the loader searches.
       c.connection.driverPath = v.find('/') == std::string::npos ? "./" + v : v;
       return ""; }},
    {{"--trace", nullptr, nullptr}, [](CommandLine& c, const std::string&) -> Problem {
       c.connection.trace = true; return ""; }},
    {{"--retries", "-r", "a number"}, [](CommandLine& c, const std::string& v) -> Problem {
       long long number = 0;
       Problem problem = wholeNumber(v, 0, 100, number);
       if (problem.empty()) c.connection.retries = static_cast<int>(number);
       return problem; }},
    // --strict names the default, kept for the scripts that spell it out.
    {{"--strict", nullptr, nullptr}, [](CommandLine&, const std::string&) -> Problem {
       return ""; }},
    {{"--lenient", nullptr, nullptr}, [](CommandLine& c, const std::string&) -> Problem {
       c.connection.lenient = true; return ""; }},
    {{"--format", "-f", "text, csv or json"}, [](CommandLine& c, const std::string& v) -> Problem {
       if (v != "text" && v != "csv" && v != "json") return "takes text, csv or json";
       c.output.format = v == "csv" ? Format::kCsv : v == "json" ? Format::kJson : Format::kText;
       return ""; }},
    {{"--output", "-o", "a file"}, [](CommandLine& c, const std::string& v) -> Problem {
       c.output.file = v; return ""; }},
    {{"--append", nullptr, nullptr}, [](CommandLine& c, const std::string&) -> Problem {
       c.output.append = true; return ""; }},
    {{"--quiet", "-q", nullptr}, [](CommandLine& c, const std::string&) -> Problem {
       c.output.quiet = true; return ""; }},
};

// The options that belong to a command, on the command line and in a script's lines alike.
const OptionRow<CommandOptions> kCommandOptions[] = {
    {{"--u16", nullptr, nullptr}, [](CommandOptions& o, const std::string&) -> Problem {
       o.unsigned16 = true; return ""; }},
    {{"--interval", nullptr, "milliseconds"}, [](CommandOptions& o, const std::string& v) -> Problem {
       long long number = 0;
       Problem problem = wholeNumber(v, 0, kLongestWait.count(), number, "milliseconds");
       if (problem.empty()) o.interval = milliseconds(number);
       return problem; }},
    {{"--reconnect", nullptr, nullptr}, [](CommandOptions& o, const std::string&) -> Problem {
       o.reconnect = true; return ""; }},
    {{"--count", nullptr, "a number"}, [](CommandOptions& o, const std::string& v) -> Problem {
       long long number = 0;
       Problem problem = wholeNumber(v, 1, 1000000000, number);
       if (problem.empty()) o.count = number;
       return problem; }},
};
// clang-format on

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

template <typename Target, size_t N>
void addDefinitions(const OptionRow<Target> (&rows)[N], std::vector<cli::OptionSpec>& to) {
  for (const OptionRow<Target>& row : rows) to.push_back(row.definition);
}

// Applies the rows' options given in `parsed` to `target`. A problem is the option's error, or,
// for a value `variables` says came from the environment, kept aside in `environmentError`.
template <typename Target, size_t N>
bool applyRows(const OptionRow<Target> (&rows)[N], const cli::ParsedOptions& parsed,
               const std::map<std::string, std::string>& variables, Target& target,
               std::string& environmentError, std::string& error) {
  for (const OptionRow<Target>& row : rows) {
    if (!parsed.has(row.definition.name) || row.apply == nullptr) continue;
    const std::string& value = parsed.value(row.definition.name);
    const Problem problem = row.apply(target, value);
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
  addDefinitions(kLineOptions, definitions);
  addDefinitions(kCommandOptions, definitions);
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
  if (!applyRows(kLineOptions, parsed, variables, commandLine, commandLine.environmentError,
                 error) ||
      !applyRows(kCommandOptions, parsed, {}, commandLine.commandOptions,
                 commandLine.environmentError, error)) {
    return false;
  }
  for (const auto& [option, values] : parsed.given) {
    if (option.rfind("--sim-", 0) != 0) continue;
    for (const std::string& value : values) {
      std::string form;
      if (!sim::applySimulatorSetting(option.substr(6), value, commandLine.connection.simulator,
                                      form)) {
        error = option + " takes " + form;
        return false;
      }
    }
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
  addDefinitions(kCommandOptions, definitions);
  cli::ParsedOptions parsed;
  if (!cli::parseOptions(words, definitions, true, parsed, error)) return false;
  rest = parsed.words;
  std::string unused;
  return applyRows(kCommandOptions, parsed, {}, options, unused, error);
}

}  // namespace zephlor::ctl
