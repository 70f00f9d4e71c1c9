// What the tools' exit status tells a person, one cause per number; the tools share the numbers
// they can all end with. The help of each tool is made from the table below.
#pragma once

#include <string>

namespace zephlor {

enum ExitCode : int {
  kSuccess = 0,
  kScriptExpectationUnmet = 1,  // a script line marked "!" did not fail
  kUsage = 2,                   // the command line or a script line is wrong
  kDriverUnavailable = 3,       // the plug-in could not be loaded or lacks an entry point
  kDeviceNotFound = 4,          // no such device
  kDevicePermission = 5,        // the device may not be opened
  kDeviceError = 6,             // not a serial device, or the line failed while in use
  kNoReply = 7,                 // no whole reply within the timeout
  kReplyRefused = 8,            // the driver's frame check refused what arrived
  kReplyNotParsed = 9,          // the reply is no answer to the request
  kWriteNotConfirmed = 10,      // the controller's echo does not confirm the value written
  kDeviceInUse = 11,            // another program holds the device or file
  kOutputFailed = 12,           // the results or the state could not be written
  kConfigUnreadable = 13,       // the gateway's configuration or password file cannot be read
  kBrokerRefused = 14,          // the MQTT broker refused the gateway's connection
  kStoppedBySignal = 128,       // plus the signal's number: 130 for SIGINT, 143 for SIGTERM
};

namespace facts {

enum class Tool { kZephlorctl, kSimulator, kGateway };

// Each status as each tool's help tells it; null where the tool never ends with it.
struct ExitCodeMeaning {
  ExitCode code;
  const char* zephlorctl;
  const char* simulator;
  const char* gateway;
  // A cause that starting again does not mend, so the gateway's service is not restarted on it.
  bool lasting = false;
};

// clang-format off
inline constexpr ExitCodeMeaning kExitCodeMeanings[] = {
    {kSuccess, "success",
     "stopped (a signal, Ctrl-C), or standard input ended",
     "stopped (a signal, Ctrl-C), or --check found the configuration sound"},
    {kScriptExpectationUnmet, "a script line marked ! did not fail", nullptr, nullptr},
    {kUsage, "the command line or a script line is wrong (nothing was sent)",
     "the command line or the state file is wrong",
     "the command line or the configuration is wrong (nothing connected)", true},
    {kDriverUnavailable, "the driver plug-in cannot be loaded or lacks an entry point", nullptr,
     "the driver plug-in cannot be loaded or lacks an entry point"},
    {kDeviceNotFound, "the device does not exist", "the device does not exist", nullptr},
    {kDevicePermission, "no permission to open the device", "no permission to open the device",
     nullptr},
    {kDeviceError, "the device is not a serial line, or the line failed while in use (a hang-up, "
                   "or sending did not finish within the timeout)",
     "the device, pseudo-terminal or listening socket failed",
     "the HTTP port cannot listen (its address is in use, or not this machine's)"},
    {kNoReply, "no whole reply within the timeout (nothing, or an incomplete reply without its "
               "line end)", nullptr, nullptr},
    {kReplyRefused, "the reply was refused by the driver's frame check (too short, or not R..#)",
     nullptr, nullptr},
    {kReplyNotParsed, "the reply is no answer to the request: over 256 bytes before its line "
                      "end, for another item (mnemonic or echoed address numbers), a field that "
                      "is not wholly a number, or not parsed by the driver", nullptr, nullptr},
    {kWriteNotConfirmed, "the controller did not confirm a write", nullptr, nullptr},
    {kDeviceInUse, "the device, or the --output file, is in use by another program (nothing was "
                   "sent)",
     "the device or the state file is in use by another program", nullptr},
    {kOutputFailed, "the results could not be written (a closed pipe, a full disk)",
     "the state file cannot be kept (not a regular file, not writable, unreadable) or could not "
     "be saved",
     "with --dry-run: standard output could not be written (a closed pipe)"},
    {kConfigUnreadable, nullptr, nullptr,
     "the configuration, its password file or a TLS file cannot be read", true},
    {kBrokerRefused, nullptr, nullptr,
     "the broker refused the connection (user name, password, client id or TLS)"},
    // The platform says what stops a tool (io::PlatformFacts::stops).
    {kStoppedBySignal, "stopped, whatever was under way", nullptr, nullptr},
};
// clang-format on

// The gateway's exit statuses that restarting it does not mend, as systemd's
// RestartPreventExitStatus= takes them: "2 13".
std::string lastingExitStatuses();

// The exit status section of a tool's --help; `stops` tells what a stop is on this platform.
std::string exitCodeHelp(Tool tool, const std::string& stops);

}  // namespace facts
}  // namespace zephlor
