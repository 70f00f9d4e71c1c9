#include "options.h"

#include <cerrno>
#include <cstdlib>

#include "zephlor_serial/serial_port.h"

namespace zephlor::ctl {

bool parseBounded(const std::string& text, long long low, long long high, long long& out) {
  char* end = nullptr;
  errno = 0;
  out = std::strtoll(text.c_str(), &end, 10);
  return !text.empty() && *end == '\0' && errno == 0 && out >= low && out <= high;
}

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
    } else if (option == "--sim-firmware-version") {
      if (!value("MAJOR.MINOR")) return false;
      if (!sim::isValidFirmwareVersion(text)) {
        error = std::string("--sim-firmware-version takes ") + sim::kFirmwareVersionForm;
        return false;
      }
      connection.simFirmware.version = text;
    } else if (option == "--sim-firmware-date") {
      if (!value("A/B/C")) return false;
      if (!sim::isValidFirmwareDate(text)) {
        error = std::string("--sim-firmware-date takes ") + sim::kFirmwareDateForm;
        return false;
      }
      connection.simFirmware.date = text;
    } else if (option == "--sim-fault") {
      if (!value("KIND[:P]")) return false;
      if (!sim::addFault(connection.simFaults, text)) {
        error = "--sim-fault takes " + sim::faultSettingForm();
        return false;
      }
    } else if (option == "--sim-delay-ms") {
      if (!value("milliseconds")) return false;
      if (!parseBounded(text, 0, 600000, number)) {
        error = "--sim-delay-ms takes milliseconds from 0 to 600000";
        return false;
      }
      connection.simFaults.delay = std::chrono::milliseconds(number);
    } else if (option == "--sim-seed") {
      if (!value("a number")) return false;
      if (!parseBounded(text, 0, 4294967295LL, number)) {
        error = "--sim-seed takes a whole number from 0 to 4294967295";
        return false;
      }
      connection.simFaults.seed = static_cast<uint32_t>(number);
    } else if (option == "--driver") {
      if (!value("the plug-in's path")) return false;
      connection.driverPath = text;
    } else if (option == "--trace") {
      connection.trace = true;
    } else {
      commandLine.words.push_back(option);
    }
  }
  return true;
}

}  // namespace zephlor::ctl
