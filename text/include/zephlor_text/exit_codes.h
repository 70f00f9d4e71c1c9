// What the tools' exit status tells a person, one cause per number; zephlorctl and zephlor-sim
// share the numbers they both can end with. The help of both tools is made from the table below.
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
  kStoppedBySignal = 128,       // plus the signal's number: 130 for SIGINT, 143 for SIGTERM
};

namespace text {

// Each status as each tool's help tells it; null where the tool never ends with it.
struct ExitCodeMeaning {
  ExitCode code;
  const char* zephlorctl;
  const char* simulator;
};

// clang-format off
inline constexpr ExitCodeMeaning kExitCodeMeanings[] = {
    {kSuccess, "success",
     "stopped (a signal, Ctrl-C), or standard input ended"},
    {kScriptExpectationUnmet, "a script line marked ! did not fail", nullptr},
    {kUsage, "the command line or a script line is wrong (nothing was sent)",
     "the command line or the state file is wrong"},
    {kDriverUnavailable, "the driver plug-in cannot be loaded or lacks an entry point", nullptr},
    {kDeviceNotFound, "the device does not exist", "the device does not exist"},
    {kDevicePermission, "no permission to open the device", "no permission to open the device"},
    {kDeviceError, "the device is not a serial line, or the line failed while in use (a hang-up, "
                   "or sending did not finish within the timeout)",
     "the device, pseudo-terminal or listening socket failed"},
    {kNoReply, "no whole reply within the timeout (nothing, or an incomplete reply without its "
               "line end)", nullptr},
    {kReplyRefused, "the reply was refused by the driver's frame check (too short, or not R..#)",
     nullptr},
    {kReplyNotParsed, "the reply is no answer to the request: over 256 bytes before its line "
                      "end, for another item (mnemonic or echoed address numbers), a field that "
                      "is not wholly a number, or not parsed by the driver", nullptr},
    {kWriteNotConfirmed, "the controller did not confirm a write", nullptr},
    {kDeviceInUse, "the device, or the --output file, is in use by another program (nothing was "
                   "sent)",
     "the device or the state file is in use by another program"},
    {kOutputFailed, "the results could not be written (a closed pipe, a full disk)",
     "the state file cannot be kept (not a regular file, not writable, unreadable) or could not "
     "be saved"},
    // The platform says what stops a tool (io::PlatformFacts::stops).
    {kStoppedBySignal, "stopped, whatever was under way", nullptr},
};
// clang-format on

// The exit status section of a tool's --help; `stops` tells what a stop is on this platform.
std::string exitCodeHelp(bool simulator, const std::string& stops);

}  // namespace text
}  // namespace zephlor
