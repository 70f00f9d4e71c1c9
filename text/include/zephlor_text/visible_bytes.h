// Shows line bytes to a person: printable characters as they are, CR and LF as \r and \n, every
// other byte as \xNN.
#pragma once

#include <string>
#include <string_view>

namespace zephlor::text {

std::string visibleBytes(std::string_view bytes);

// The same between double quotes: how the tools show a person any text that came from outside,
// so a control character in it can never reach their terminal.
std::string quotedBytes(std::string_view bytes);

}  // namespace zephlor::text
