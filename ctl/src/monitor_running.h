// zephlorctl monitor: a line that another host drives, watched between the host and the
// controller, on a tap cable, or in front of a device server.
#pragma once

#include "commands.h"
#include "options.h"

namespace zephlor::ctl {

ExitCode runMonitor(const Command& command, const CommandLine& commandLine);

}  // namespace zephlor::ctl
