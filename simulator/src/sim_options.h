// zephlor-sim's command line: where it listens, what the controller reports, its faults.
#pragma once

#include <string>
#include <vector>

#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/simulator_settings.h"

namespace zephlor::sim {

enum class Listen { kPty, kDevice, kStdio, kTcp };

struct SimOptions {
  Listen listen = Listen::kPty;
  std::string device;
  std::string link;
  std::string stateFile;
  std::string tcpAddress = "127.0.0.1";
  int tcpPort = 0;
  bool rfc2217 = false;  // --rfc2217: telnet with the COM-PORT-OPTION on each connection
  int baud = 9600;
  bool log = false;
  size_t maxItems = kDefaultMaxItems;
  int maxClients = 64;  // --tcp: connections served at once; more are closed at once
  SimulatorSettings settings;
  bool help = false;
  bool version = false;
};

// False with one complete explanation in `error` for an unknown, repeated or conflicting option,
// or one whose value is missing or wrong.
bool parseSimOptions(const std::vector<std::string>& arguments, SimOptions& options,
                     std::string& error);

// zephlor-sim --help, the speeds and exit codes from their one definition.
std::string simUsage();

}  // namespace zephlor::sim
