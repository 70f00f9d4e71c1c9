// The numbers the host and the driver exchange through the entry points, each with the meaning
// the host gives it. The driver sets them; the host reads them. Written once, here, for both.
#pragma once

namespace osterfell::host_codes {

// Set_xxx's requestCode: a request line was built and is to be sent.
constexpr unsigned kRequestLineBuilt = 100;

// Check_xxx's result.
constexpr int kCheckAccepted = 0;         // the bytes frame a reply
constexpr int kCheckTooShort = 4;         // fewer bytes than the shortest reply
constexpr int kCheckNothingReceived = 9;  // no byte arrived
constexpr int kCheckWrongFrame = 10;      // not "R", two letters and "#"

// Get_xxx's result, whatever the transaction.
constexpr int kGetResult = 50;

// Get_xxx's parseCode for a read.
constexpr int kParseCodeAccepted = 2;
constexpr int kParseCodeRefused = 99;

// RSDATA::status after Get_xxx.
constexpr unsigned char kStatusConfirmed = 0;     // read or write succeeded
constexpr unsigned char kStatusNotConfirmed = 1;  // write not confirmed or not served

}  // namespace osterfell::host_codes
