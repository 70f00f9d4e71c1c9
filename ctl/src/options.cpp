#include "options.h"

#include <cstdlib>
#include <map>
#include <utility>

#include "zephlor_cli/options.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::ctl {
namespace {

// Every option of zephlorctl. The last three belong to commands (write, poll): they are handed
// on to the command's words, where the command says whether it takes them.
const std::vector<cli::OptionSpec> kOptions = {
    {"--help", "-h", nullptr, true},
    {"--version", "-V", nullptr, true},
    {"--device", nullptr, "a device path"},
    {"--baud", nullptr, "a speed"},
    {"--timeout", nullptr, "milliseconds"},
    {"--sim", nullptr, nullptr},
    {"--sim-firmware-version", nullptr, "a version"},
    {"--sim-firmware-date", nullptr, "a date"},
    {"--sim-fault", nullptr, "a fault", true},
    {"--sim-delay-ms", nullptr, "milliseconds"},
    {"--sim-seed", nullptr, "a number"},
    {"--driver", nullptr, "the plug-in's path"},
    {"--trace", nullptr, nullptr},
    {"--retries", nullptr, "a number"},
    {"--strict", nullptr, nullptr},
    {"--lenient", nullptr, nullptr},
    {"--format", nullptr, "text, csv or json"},
    {"--output", nullptr, "a file"},
    {"--append", nullptr, nullptr},
    {"--u16", nullptr, nullptr},
    {"--interval", nullptr, "milliseconds"},
    {"--count", nullptr, "a number"},
};

}  // namespace

bool parseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error) {
  long long number = 0;
  cli::ParsedOptions parsed;
  if (!cli::parseOptions(arguments, kOptions, true, parsed, error)) return false;
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
  // Says what is wrong with `option`'s value: an error, or the environment's error to keep aside.
  const auto wrong = [&](const std::string& option, const std::string& what) {
    const auto variable = variables.find(option);
    if (variable == variables.end()) {
      error = option + " " + what;
      return false;
    }
    commandLine.environmentError = variable->second + " " + what + " (the environment has " +
                                   text::quotedBytes(parsed.value(option)) + ")";
    return true;
  };
  ConnectionOptions& connection = commandLine.connection;
  commandLine.words = parsed.words;
  commandLine.help = parsed.has("--help");
  commandLine.version = parsed.has("--version");
  connection.simulate = parsed.has("--sim");
  connection.trace = parsed.has("--trace");
  // --strict names the default, kept for the scripts that spell it out.
  connection.lenient = parsed.has("--lenient");
  if (connection.lenient && parsed.has("--strict")) {
    error = "--lenient and --strict cannot be used together";
    return false;
  }
  if (parsed.has("--retries")) {
    if (!parseBounded(parsed.value("--retries"), 0, 100, number)) {
      error = "--retries takes a whole number from 0 to 100";
      return false;
    }
    connection.retries = static_cast<int>(number);
  }
  if (parsed.has("--format")) {
    const std::string& format = parsed.value("--format");
    if (format != "text" && format != "csv" && format != "json") {
      error = "--format takes text, csv or json";
      return false;
    }
    commandLine.output.format = format == "csv"    ? Format::kCsv
                                : format == "json" ? Format::kJson
                                                   : Format::kText;
  }
  if (parsed.has("--output")) commandLine.output.file = parsed.value("--output");
  commandLine.output.append = parsed.has("--append");
  if (commandLine.output.append && commandLine.output.file.empty()) {
    error = "--append needs --output FILE";
    return false;
  }
  if (parsed.has("--device")) {
    const std::string problem = io::deviceNameProblem(parsed.value("--device"));
    if (problem.empty()) {
      connection.device = parsed.value("--device");
    } else if (!wrong("--device", "is wrong: " + problem)) {
      return false;
    }
  }
  if (parsed.has("--baud")) {
    int baud = 0;
    if (!io::parseBaud(parsed.value("--baud"), baud)) {
      if (!wrong("--baud", "takes one of " + io::supportedBauds())) return false;
    } else if (io::isTcpAddress(connection.device) && variables.count("--baud") == 0) {
      error = "--baud cannot be used with a tcp: device: the speed is the device server's setting";
      return false;
    } else {
      connection.baud = baud;
    }
  }
  if (parsed.has("--timeout")) {
    if (parseBounded(parsed.value("--timeout"), 1, 600000, number)) {
      connection.timeout = std::chrono::milliseconds(number);
    } else if (!wrong("--timeout", "takes milliseconds from 1 to 600000")) {
      return false;
    }
  }
  for (const auto& [option, values] : parsed.given) {
    if (option.rfind("--sim-", 0) != 0) continue;
    for (const std::string& value : values) {
      std::string form;
      if (!sim::applySimulatorSetting(option.substr(6), value, connection.simulator, form)) {
        error = option + " takes " + form;
        return false;
      }
    }
  }
  if (parsed.has("--driver")) {
    const std::string& driver = parsed.value("--driver");
    if (driver.empty()) {
      error = "--driver needs the plug-in's path, not an empty word";
      return false;
    }
    // A bare file name is a file in the working directory, never one the loader searches for.
    connection.driverPath = driver.find('/') == std::string::npos ? "./" + driver : driver;
  }
  for (const char* commandOption : {"--u16", "--interval", "--count"}) {
    if (!parsed.has(commandOption)) continue;
    commandLine.words.push_back(commandOption);
    if (!parsed.value(commandOption).empty())
      commandLine.words.push_back(parsed.value(commandOption));
  }
  if (connection.simulate && !connection.device.empty()) {
    error = "--sim and --device cannot be used together: the built-in simulator is the line";
    return false;
  }
  return true;
}

}  // namespace zephlor::ctl
