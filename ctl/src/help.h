#pragma once

namespace zephlor::ctl {

// zephlorctl --help: every command, option and exit code.
extern const char kHelpText[];

}  // namespace zephlor::ctl
