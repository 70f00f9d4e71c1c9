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

// The passwords a configuration names: the broker's (not with --dry-run, which has no broker) and
// the HTTP port's.
struct Passwords {
  std::string broker;
  std::string http;
  bool operator==(const Passwords& other) const {
    return broker == other.broker && http == other.http;
  }
};
// False with the reason, which names the file, when one cannot be read.
bool readPasswords(const GatewayConfig& config, bool dryRun, Passwords& passwords,
                   std::string& error);

}  // namespace zephlor::gateway
