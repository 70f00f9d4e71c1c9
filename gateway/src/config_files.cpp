// Reading the gateway's files: its configuration, checked whole with every fault told with its
// place, and the broker password's file; each read within bounds, whatever it holds.
#include "config_files.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <fstream>

#include "tell.h"

namespace zephlor::gateway {
namespace {

// A password file's first line, up to this length, is the password; the rest is never read.
constexpr size_t kLongestPassword = 4096;
// Faults of a configuration told one by one; the rest are counted.
constexpr size_t kFaultsTold = 50;

int tellFailure(ExitCode code, const std::string& message) {
  tell(Priority::kError, message);
  return code;
}

// Reads at most `most` bytes of `path`; `whole` says whether that was all of it.
bool readFile(const std::string& path, size_t most, std::string& text, bool& whole,
              std::string& error) {
  std::ifstream file(path, std::ios::binary);
  if (file) {
    text.resize(most + 1);
    file.read(text.data(), static_cast<std::streamsize>(text.size()));
    text.resize(static_cast<size_t>(file.gcount()));
  }
  if (!file && !file.eof()) {
    error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  whole = text.size() <= most;
  if (!whole) text.resize(most);
  return true;
}

}  // namespace

// Reads and checks CONFIG; false with the exit status in `code` when it will not do.
bool loadConfig(const std::string& path, GatewayConfig& config, ExitCode& code) {
  std::string text;
  bool whole = false;
  std::string error;
  if (!readFile(path, kLargestConfigFile, text, whole, error)) {
    code = kConfigUnreadable;
    tell(Priority::kError, error);
    return false;
  }
  if (!whole) {
    code = static_cast<ExitCode>(tellFailure(
        kUsage, path + " is larger than " + std::to_string(kLargestConfigFile) + " bytes"));
    return false;
  }
  ConfigReading reading = readConfig(text);
  for (size_t i = 0; i < reading.problems.size() && i < kFaultsTold; ++i) {
    const ConfigProblem& problem = reading.problems[i];
    tell(Priority::kError,
         path + ":" + std::to_string(problem.line) + ":" + std::to_string(problem.column) + ": " +
             problem.message,
         false);
  }
  if (reading.faultCount > kFaultsTold) {
    tell(Priority::kError,
         path + ": and " + std::to_string(reading.faultCount - kFaultsTold) + " more faults",
         false);
  }
  if (!reading.config) {
    code = static_cast<ExitCode>(
        tellFailure(kUsage, path + " has " + std::to_string(reading.faultCount) + " fault" +
                                (reading.faultCount == 1 ? "" : "s")));
    return false;
  }
  config = std::move(*reading.config);
  return true;
}

// The password is the password file's first line, without its line end.
bool readPassword(const std::string& path, std::string& password, std::string& error) {
  bool whole = false;
  if (!readFile(path, kLongestPassword, password, whole, error)) return false;
  const size_t end = password.find_first_of("\r\n");
  if (end == std::string::npos && !whole) {
    error =
        path + " has no line end within its first " + std::to_string(kLongestPassword) + " bytes";
    return false;
  }
  password.resize(std::min(end, password.size()));
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 && (status.st_mode & S_IROTH) != 0) {
    tell(Priority::kWarning,
         "warning: every user of this machine can read the password file " + path + " (chmod o-r)");
  }
  return true;
}

bool readPasswords(const GatewayConfig& config, bool dryRun, Passwords& passwords,
                   std::string& error) {
  if (!dryRun && !config.broker.passwordFile.empty() &&
      !readPassword(config.broker.passwordFile, passwords.broker, error)) {
    error = "the broker's password file: " + error;
    return false;
  }
  if (config.http && !config.http->passwordFile.empty() &&
      !readPassword(config.http->passwordFile, passwords.http, error)) {
    error = "the HTTP port's password file: " + error;
    return false;
  }
  return true;
}

}  // namespace zephlor::gateway
