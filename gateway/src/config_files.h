// Reading the gateway's files: its configuration and the broker password's file.
#pragma once

#include <string>

#include "config.h"
#include "zephlor_facts/exit_codes.h"

namespace zephlor::gateway {

// Reads and checks CONFIG, telling every fault; false with the exit status in `code` when it
// will not do.
bool loadConfig(const std::string& path, GatewayConfig& config, ExitCode& code);

// The password is the password file's first line, without its line end; false with the reason.
bool readPassword(const std::string& path, std::string& password, std::string& error);

}  // namespace zephlor::gateway
