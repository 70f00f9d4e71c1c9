// zephlorctl's connection options, which may stand anywhere on the command line; every other
// word is left, in order, for the command.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "zephlor_host/whole_number.h"
#include "zephlor_sim/simulator_settings.h"

namespace zephlor::ctl {

struct ConnectionOptions {
  std::string device;
  int baud = 9600;
  std::chrono::milliseconds timeout{1000};
  bool simulate = false;
  sim::SimulatorSettings simulator;  // for --sim
  std::string driverPath;            // empty: the plug-in beside the zephlorctl executable
  bool trace = false;
};

struct CommandLine {
  ConnectionOptions connection;
  std::vector<std::string> words;
  bool help = false;
  bool version = false;
};

// False with a reason in `error` when an option or its value is wrong.
bool parseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error);

using host::parseBounded;

}  // namespace zephlor::ctl
