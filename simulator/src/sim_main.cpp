// zephlor-sim: a Zephlor controller on a pseudo-terminal, a serial device or standard I/O.
#include <iostream>
#include <memory>
#include <mutex>
#include <string>

#include "listeners.h"
#include "sim_options.h"
#include "state_file.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_text/timestamp.h"

int main(int argc, char** argv) {
  using namespace zephlor;
  sim::SimOptions options;
  std::string error;
  if (!sim::parseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
    std::cerr << "zephlor-sim: " << error << "\n(see zephlor-sim --help)" << std::endl;
    return kUsage;
  }
  if (options.help) {
    std::cout << sim::simUsage();
    return kSuccess;
  }
  if (options.version) {
    std::cout << "zephlor-sim " << ZEPHLOR_VERSION << std::endl;
    return kSuccess;
  }

  io::installStopHandlers();
  sim::ControllerModel controller(options.settings.firmware, options.maxItems);
  sim::FaultInjector faults(options.settings.faults);
  // Every line, and the state keeper, take this while they use the controller.
  std::mutex controllerLock;
  // One log line at a time, whichever line it comes from.
  std::mutex logLock;
  const auto log = [&options, &logLock](const std::string& line) {
    if (!options.log) return;
    const std::lock_guard<std::mutex> held(logLock);
    std::cerr << "zephlor-sim: " << text::timestampNow() << " " << line << std::endl;
  };
  std::unique_ptr<sim::StateKeeper> state;
  if (!options.stateFile.empty()) {
    ExitCode code = kSuccess;
    state = sim::StateKeeper::open(options.stateFile, controller, controllerLock, code, error);
    if (!state) {
      std::cerr << "zephlor-sim: " << error << std::endl;
      return code;
    }
    state->keepSaving([&logLock](const std::string& failure) {
      const std::lock_guard<std::mutex> held(logLock);
      std::cerr << "zephlor-sim: cannot save the state: " << failure << std::endl;
    });
  }
  // The values go back into the state file however serving ends.
  const auto saved = [&](int status) {
    if (state && !state->finish(error)) {
      std::cerr << "zephlor-sim: cannot save the state: " << error << std::endl;
      return status == kSuccess ? static_cast<int>(kOutputFailed) : status;
    }
    return status;
  };
  const sim::Serve serve = [&](const sim::ServedLine& line, const std::string& what) {
    sim::ServedLine shared = line;
    shared.sharedController = &controllerLock;
    const sim::ServeResult served = sim::serveLines(shared, controller, faults, log);
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
      return saved(sim::listenOnTcp(options, serve, log));
    case sim::Listen::kDevice: {
      io::OpenResult opened = io::openSerialDevice(options.device, options.baud);
      if (!opened.line) {
        std::cerr << "zephlor-sim: " << opened.message << std::endl;
        return io::exitCodeFor(opened.failure);
      }
      log("serving " + options.device + " at " + std::to_string(options.baud) + " baud");
      return saved(serve(sim::ServedLine{*opened.line, false, true}, options.device));
    }
  }
  return kSuccess;
}
