// Items as a person names them, on zephlorctl's command line and in the gateway's configuration:
// a kind name followed by its address numbers, such as "station-level 1 2 3".
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "osterfell/host_records.h"
#include "zephlor_facts/item_catalogue.h"

namespace zephlor::host {

using KindInfo = facts::ItemKindInfo;

struct Item {
  const KindInfo* kind = nullptr;
  std::array<unsigned char, 4> addresses{};

  IA address() const;            // the host's item address record
  std::string describe() const;  // the name and address numbers, as typed
};

// Reads one item from `words` starting at `at`, which it advances past the item. On failure
// returns nothing and says why in `error`.
std::optional<Item> parseItem(const std::vector<std::string>& words, size_t& at,
                              std::string& error);

}  // namespace zephlor::host
