// The time as the tools print it in results and logs.
#pragma once

#include <chrono>
#include <string>

namespace zephlor::text {

// Now, as ISO 8601 UTC with milliseconds: 2026-12-08T20:41:45.123Z. Safe on any thread.
std::string timestampNow();
std::string formatTimestamp(std::chrono::system_clock::time_point time);
// "2026-12-09 10:00:00.123": the machine's local time with no zone, as spreadsheet programs
// read a date and time.
std::string formatLocalTimestamp(std::chrono::system_clock::time_point time);

// A duration as the tools show reply times: "27.3 ms".
std::string formatMilliseconds(std::chrono::microseconds duration);

}  // namespace zephlor::text
