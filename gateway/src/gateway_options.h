// zephlor-gateway's command line and its help.
#pragma once

#include <string>
#include <vector>

#include "tell.h"

namespace zephlor::gateway {

struct GatewayOptions {
  std::string configFile;  // empty with --sim alone
  bool check = false;
  bool dryRun = false;
  bool simulate = false;
  std::string driverPath;               // empty for the default
  Priority logLevel = Priority::kInfo;  // the least priority told
  bool help = false;
  bool version = false;
};

// False with the reason in `error` when the command line is wrong.
bool parseGatewayOptions(const std::vector<std::string>& arguments, GatewayOptions& options,
                         std::string& error);

std::string gatewayHelp();

}  // namespace zephlor::gateway
