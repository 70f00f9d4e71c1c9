// The gateway's state in the Prometheus text exposition format, for /metrics.
#pragma once

#include <optional>
#include <string>

#include "board.h"
#include "message_sink.h"

namespace zephlor::gateway {

// Per line: up, transactions and failures by verdict, and the reply time as a histogram. Per
// item: its value, quality and age. The gateway's values published and coalesced, its broker
// connection (`link`, none with --dry-run) and writes by result.
std::string prometheusText(const BoardState& state, const std::optional<LinkFigures>& link);

}  // namespace zephlor::gateway
