// Reads one request line as the controller does: "V", two letters of a known command, "#", and
// its numbers, each after one or more blanks.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "zephlor_facts/line_commands.h"

namespace zephlor::sim {

struct RequestWords {
  const facts::LineCommand* command = nullptr;
  std::vector<int32_t> addresses;   // as many as the command has
  std::optional<int32_t> value;     // a set's
  std::optional<int32_t> modifier;  // a load level set's, when one follows the value
};

// The request in `line` (without its line end), or nothing when the controller would not take
// it: an unknown command, numbers that are not signed 32-bit decimals, or too few or too many.
std::optional<RequestWords> readRequest(std::string_view line);

}  // namespace zephlor::sim
