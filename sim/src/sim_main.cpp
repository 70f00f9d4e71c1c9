// zephlor-sim: a Zephlor controller on a pseudo-terminal, a serial device or standard I/O.
#include <iostream>
#include <string>

#include "listeners.h"
#include "sim_options.h"
#include "state_file.h"
#include "zephlor_host/timestamp.h"
#include "zephlor_serial/serial_port.h"
#include "zephlor_serial/stop_request.h"

int main(int argc, char** argv) {
  using namespace zephlor;
  sim::SimOptions options;
  std::string error;
  if (!sim::parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::cerr << "zephlor-sim: " << error << "\n(see zephlor-sim --help)" << std::endl;
    return kUsage;
  }
  if (options.help) {
    std::cout << sim::kSimUsage;
    return kSuccess;
  }
  if (options.version) {
    std::cout << "zephlor-sim " << ZEPHLOR_VERSION << std::endl;
    return kSuccess;
  }

  serial::installStopHandlers();
  sim::ControllerModel controller(options.settings.firmware, options.maxItems);
  sim::FaultInjector faults(options.settings.faults);
  if (!options.stateFile.empty() && !sim::loadState(options.stateFile, controller, error)) {
    std::cerr << "zephlor-sim: " << error << std::endl;
    return kUsage;
  }
  // The values go back into the state file however serving ends.
  const auto saved = [&](int status) {
    if (!options.stateFile.empty() && !sim::saveState(options.stateFile, controller, error)) {
      std::cerr << "zephlor-sim: " << error << std::endl;
      return status == kSuccess ? static_cast<int>(kOutputFailed) : status;
    }
    return status;
  };
  const auto log = [&options](const std::string& line) {
    if (options.log)
      std::cerr << "zephlor-sim: " << host::timestampNow() << " " << line << std::endl;
  };
  const sim::Serve serve = [&](const sim::ServedLine& line, const std::string& what) {
    const sim::ServeResult served = sim::serveLines(line, controller, faults, log);
    if (served.end != sim::ServeEnd::kLineFailed) return static_cast<int>(kSuccess);
    std::cerr << "zephlor-sim: " << what << " failed: " << served.message << std::endl;
    return static_cast<int>(kDeviceError);
  };

  switch (options.listen) {
    case sim::Listen::kStdio:
      return saved(sim::listenOnStandardStreams(serve));
    case sim::Listen::kPty:
      return saved(sim::listenOnPseudoTerminal(options, serve));
    case sim::Listen::kTcp:
      return saved(sim::listenOnTcp(options, serve));
    case sim::Listen::kDevice: {
      serial::OpenResult opened = serial::openSerialDevice(options.device, options.baud);
      if (!opened.line) {
        std::cerr << "zephlor-sim: " << opened.message << std::endl;
        return serial::exitCodeFor(opened.failure);
      }
      log("serving " + options.device + " at " + std::to_string(options.baud) + " baud");
      return saved(serve(sim::ServedLine{*opened.line, false, true}, options.device));
    }
  }
  return kSuccess;
}
