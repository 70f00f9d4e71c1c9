// Shows line bytes to a person: printable characters as they are, CR and LF as \r and \n, every
// other byte as \xNN.
#pragma once

#include <string>
#include <string_view>

namespace zephlor::host {

std::string visibleBytes(std::string_view bytes);

}  // namespace zephlor::host
