// The time as the tools print it in results and logs.
#pragma once

#include <string>

namespace zephlor::host {

// Now, as ISO 8601 UTC with milliseconds: 2026-12-08T20:41:45.123Z.
std::string timestampNow();

}  // namespace zephlor::host
