// The word a person most likely meant: for "did you mean" after a typo.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace zephlor::text {

// The one of `candidates` within two edits (a typo or two) of `word`, the closest first; empty
// when none is that close.
std::string closestWord(std::string_view word, const std::vector<std::string_view>& candidates);

}  // namespace zephlor::text
