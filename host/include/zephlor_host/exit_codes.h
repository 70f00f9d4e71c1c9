// What the tools' exit status tells a person, one cause per number; zephlorctl and zephlor-sim
// share the numbers they both can end with.
#pragma once

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
  kReplyNotParsed = 9,          // the reply is framed but does not parse for the item
  kWriteNotConfirmed = 10,      // the controller's echo does not confirm the value written
  kDeviceInUse = 11,            // another program holds the device
  kOutputFailed = 12,           // the results could not be written (a closed pipe, a full disk)
  kStoppedBySignal = 128,       // plus the signal's number: 130 for SIGINT, 143 for SIGTERM
};

}  // namespace zephlor
