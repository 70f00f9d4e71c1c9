#include "zephlor_text/closest_word.h"

#include <algorithm>

namespace zephlor::text {
namespace {

// Insertions, deletions and substitutions that make `a` into `b`.
size_t editDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) row[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

std::string closestWord(std::string_view word, const std::vector<std::string_view>& candidates) {
  std::string_view best;
  size_t bestDistance = 3;  // a typo or two, no more
  for (const std::string_view candidate : candidates) {
    const size_t distance = editDistance(word, candidate);
    if (distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  return std::string(best);
}

}  // namespace zephlor::text
