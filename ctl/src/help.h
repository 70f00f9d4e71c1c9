#pragma once

#include <string>

namespace zephlor::ctl {

// zephlorctl --help: every command, option and exit code; the items, speeds and exit codes
// from their one definition.
std::string helpText();

}  // namespace zephlor::ctl
