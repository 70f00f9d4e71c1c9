// The rows of a tool's --help: a label, and its text wrapped under a column of its own.
#pragma once

#include <cstddef>
#include <string>

namespace zephlor::text {

// "  LABEL   text..." with the text starting at `column` (on the next line when the label reaches
// it) and wrapped at 96 characters.
std::string helpRow(const std::string& label, const std::string& text, size_t column);

}  // namespace zephlor::text
