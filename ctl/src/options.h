// zephlorctl's connection options, which may stand anywhere on the command line; every other
// word is left, in order, for the command.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/fault_injector.h"

namespace zephlor::ctl {

struct ConnectionOptions {
  std::string device;
  int baud = 9600;
  std::chrono::milliseconds timeout{1000};
  bool simulate = false;
  sim::FirmwareIdentity simFirmware;
  sim::FaultPlan simFaults;
  std::string driverPath;  // empty: the plug-in beside the zephlorctl executable
  bool trace = false;
};

struct CommandLine {
  ConnectionOptions connection;
  std::vector<std::string> words;
  bool help = false;
};

// False with a reason in `error` when an option or its value is wrong.
bool parseCommandLine(const std::vector<std::string>& arguments, CommandLine& commandLine,
                      std::string& error);

// A whole number from `low` to `high`, and nothing else, in `text`.
bool parseBounded(const std::string& text, long long low, long long high, long long& out);

}  // namespace zephlor::ctl
