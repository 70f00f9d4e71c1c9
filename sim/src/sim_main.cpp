// zephlor-sim: a Zephlor controller on a pseudo-terminal, a serial device or standard I/O.
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>

#include "pseudo_terminal.h"
#include "zephlor_host/whole_number.h"
#include "zephlor_serial/serial_port.h"
#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/fault_injector.h"
#include "zephlor_sim/simulated_link.h"
#include "zephlor_sim/simulator_settings.h"

namespace {

using namespace zephlor;

const char kUsage[] = R"(Usage: zephlor-sim [OPTIONS]

A model of the Zephlor controller. It answers the fifteen request lines of the protocol, keeps
every value it is sent, and can inject line faults for testing hosts.

Where it listens (one of):
  --pty               create a pseudo-terminal and print its device path on the first line of
                      standard output (the default)
  --link PATH         with --pty: also make PATH a symbolic link to the device
  --device PATH       serve an existing serial device, raw 8N1
  --baud N            speed of --device (default 9600)
  --stdio             read requests from standard input, write replies to standard output

The controller:
  --firmware-version MAJOR.MINOR   version in the firmware reply (default 1.0)
  --firmware-date A/B/C            date in the firmware reply (default 12/8/26)

Faults, drawn per reply from a seeded generator so a run repeats exactly:
  --fault KIND[:P]    let KIND strike a reply with probability P (default 1); repeatable.
                      KIND: drop, garble, delay, wrong-address, wrong-value, split
  --delay-ms MS       how long a delayed reply is held back (default 1500)
  --seed N            seed of the generator (default 1)

Other:
  --log               one line per request on standard error
  --help              this text

It runs until interrupted or, with --stdio, until its input ends. A request line that is not one
of the controller's gets no reply.
)";

std::atomic<bool> stopRequested{false};

void requestStop(int) { stopRequested = true; }

int usageError(const std::string& message) {
  std::cerr << "zephlor-sim: " << message << "\n(see zephlor-sim --help)\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  enum class Listen { kPty, kDevice, kStdio } listen = Listen::kPty;
  std::string device, link;
  long long baud = 9600;
  bool log = false;
  sim::SimulatorSettings settings;

  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string text;
    if (option == "--help" || option == "-h") {
      std::cout << kUsage;
      return 0;
    } else if (option == "--pty") {
      listen = Listen::kPty;
    } else if (option == "--stdio") {
      listen = Listen::kStdio;
    } else if (option == "--device") {
      if (!value(device)) return usageError("--device needs a path");
      listen = Listen::kDevice;
    } else if (option == "--link") {
      if (!value(link)) return usageError("--link needs a path");
    } else if (option == "--baud") {
      if (!value(text) || !host::parseBounded(text, 1, 4000000, baud) ||
          !serial::isSupportedBaud(static_cast<int>(baud))) {
        return usageError("--baud takes one of " + serial::supportedBauds());
      }
    } else if (option.rfind("--", 0) == 0 && sim::isSimulatorSetting(option.substr(2))) {
      std::string form;
      if (!value(text) || !sim::applySimulatorSetting(option.substr(2), text, settings, form)) {
        return usageError(option + " takes " + form);
      }
    } else if (option == "--log") {
      log = true;
    } else {
      return usageError("unknown option " + option);
    }
  }

  struct sigaction action {};
  action.sa_handler = requestStop;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  signal(SIGPIPE, SIG_IGN);

  sim::ControllerModel controller(settings.firmware);
  sim::FaultInjector faults(settings.faults);
  const auto logLine = [log](const std::string& line) {
    if (log) std::cerr << "zephlor-sim: " << line << std::endl;
  };
  const auto keepRunning = [] { return !stopRequested.load(); };

  switch (listen) {
    case Listen::kStdio:
      sim::serveLines(STDIN_FILENO, STDOUT_FILENO, controller, faults, logLine, keepRunning);
      return 0;
    case Listen::kDevice: {
      serial::OpenResult opened = serial::openSerialDevice(device, static_cast<int>(baud));
      if (!opened.port.isOpen()) {
        std::cerr << "zephlor-sim: " << opened.message << "\n";
        return opened.failure == serial::OpenFailure::kNotFound           ? 4
               : opened.failure == serial::OpenFailure::kPermissionDenied ? 5
                                                                          : 6;
      }
      if (log) std::cerr << "zephlor-sim: serving " << device << " at " << baud << " baud\n";
      sim::serveLines(opened.port.fd(), opened.port.fd(), controller, faults, logLine, keepRunning);
      return 0;
    }
    case Listen::kPty: {
      sim::PseudoTerminal terminal;
      std::string error;
      if (!sim::openPseudoTerminal(terminal, error)) {
        std::cerr << "zephlor-sim: " << error << "\n";
        return 6;
      }
      if (!link.empty()) {
        unlink(link.c_str());
        if (symlink(terminal.devicePath.c_str(), link.c_str()) != 0) {
          std::cerr << "zephlor-sim: cannot link " << link << " to " << terminal.devicePath << "\n";
          return 6;
        }
      }
      std::cout << terminal.devicePath << std::endl;
      sim::serveLines(terminal.controllerSide.fd(), terminal.controllerSide.fd(), controller,
                      faults, logLine, keepRunning);
      if (!link.empty()) unlink(link.c_str());
      return 0;
    }
  }
  return 0;
}
