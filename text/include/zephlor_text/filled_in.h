// Words with named gaps, such as "no reply within {timeout} to {request}": a table states a
// sentence once, and what fills each gap comes from the case at hand.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace zephlor::text {

// `words` with each {NAME} replaced by what `fact` gives for NAME; a gap it has nothing for is
// left as it stands.
std::string filledIn(std::string_view words,
                     const std::function<std::optional<std::string>(std::string_view)>& fact);

}  // namespace zephlor::text
