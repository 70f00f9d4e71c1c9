#include "options.h"

#include "zephlor_serial/serial_port.h"

namespace zephlor::ctl {

bool parseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error) {
  ConnectionOptions& connection = commandLine.connection;
  for (size_t i = 0; i < arguments.size(); ++i) {
    const std::string& option = arguments[i];
    std::string text;
    const auto value = [&](const char* what) {
      if (i + 1 >= arguments.size()) {
        error = option + " needs " + what;
        return false;
      }
      text = arguments[++i];
      return true;
    };
    long long number = 0;
    if (option == "--help" || option == "-h") {
      commandLine.help = true;
    } else if (option == "--version" || option == "-V") {
      commandLine.version = true;
    } else if (option == "--device") {
      if (!value("a device path")) return false;
      connection.device = text;
    } else if (option == "--baud") {
      if (!value("a speed")) return false;
      if (!parseBounded(text, 1, 4000000, number) ||
          !serial::isSupportedBaud(static_cast<int>(number))) {
        error = "--baud takes one of " + serial::supportedBauds();
        return false;
      }
      connection.baud = static_cast<int>(number);
    } else if (option == "--timeout") {
      if (!value("milliseconds")) return false;
      if (!parseBounded(text, 1, 600000, number)) {
        error = "--timeout takes milliseconds from 1 to 600000";
        return false;
      }
      connection.timeout = std::chrono::milliseconds(number);
    } else if (option == "--sim") {
      connection.simulate = true;
    } else if (option.rfind("--sim-", 0) == 0 && sim::isSimulatorSetting(option.substr(6))) {
      if (!value("a value")) return false;
      std::string form;
      if (!sim::applySimulatorSetting(option.substr(6), text, connection.simulator, form)) {
        error = option + " takes " + form;
        return false;
      }
    } else if (option == "--driver") {
      if (!value("the plug-in's path")) return false;
      if (text.empty()) {
        error = "--driver needs the plug-in's path, not an empty word";
        return false;
      }
      // A bare file name is a file in the working directory, never one the loader searches for.
      connection.driverPath = text.find('/') == std::string::npos ? "./" + text : text;
    } else if (option == "--trace") {
      connection.trace = true;
    } else {
      commandLine.words.push_back(option);
    }
  }
  if (connection.simulate && !connection.device.empty()) {
    error = "--sim and --device cannot be used together: the built-in simulator is the line";
    return false;
  }
  return true;
}

}  // namespace zephlor::ctl
