// Tables indexed by an enum: row i must be the row of the enum's value i.
#pragma once

#include <cstddef>

namespace zephlor::text {

template <typename Row, std::size_t N, typename Key>
constexpr bool rowsFollowTheirKeys(const Row (&rows)[N], Key Row::*key) {
  for (std::size_t i = 0; i < N; ++i) {
    if (static_cast<std::size_t>(rows[i].*key) != i) return false;
  }
  return true;
}

}  // namespace zephlor::text
