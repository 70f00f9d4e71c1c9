// Where the simulator listens besides a serial device, as far as the platform offers it: a
// pseudo-terminal it creates, or standard input and output. Each runs `serve` on its line while
// the line's resources (a --link, say) exist, and returns the exit status.
#pragma once

#include <functional>
#include <string>

#include "sim_options.h"
#include "zephlor_facts/exit_codes.h"
#include "zephlor_sim/serve_lines.h"

namespace zephlor::sim {

// Serves `line`; `what` names it in a failure. Returns the exit status.
using Serve = std::function<int(const ServedLine& line, const std::string& what)>;
// Receives a line for --log.
using Log = std::function<void(const std::string&)>;

int listenOnPseudoTerminal(const SimOptions& options, const Serve& serve);
int listenOnStandardStreams(const Serve& serve);
// On every platform: TCP connections, each a line of its own.
int listenOnTcp(const SimOptions& options, const Serve& serve, const Log& log);

}  // namespace zephlor::sim
