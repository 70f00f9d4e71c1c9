// Words with named gaps, such as "no reply within {timeout} to {request}": a table states a
// sentence once, and what fills each gap comes from the case at hand.
#pragma once

#include <map>
#include <string>
#include <string_view>

namespace zephlor::text {

using Gaps = std::map<std::string, std::string, std::less<>>;

// `words` with each {NAME} replaced by what `gaps` holds for NAME; a gap it has nothing for is
// left as it stands.
std::string filledIn(std::string_view words, const Gaps& gaps);

}  // namespace zephlor::text
