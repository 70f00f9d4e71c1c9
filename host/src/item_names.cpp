#include "zephlor_host/item_names.h"

#include "zephlor_text/closest_word.h"
#include "zephlor_text/visible_bytes.h"
#include "zephlor_text/whole_number.h"

namespace zephlor::host {

IA Item::address() const {
  IA item{};
  item.fields.kind = static_cast<unsigned char>(kind->kind);
  item.fields.addr1 = addresses[0];
  item.fields.addr2 = addresses[1];
  item.fields.addr3 = addresses[2];
  item.fields.addr4 = addresses[3];
  return item;
}

std::string Item::describe() const {
  std::string text = kind->name;
  for (int i = 0; i < kind->addressCount; ++i) {
    text += " " + std::to_string(addresses[static_cast<size_t>(i)]);
  }
  return text;
}

std::optional<Item> parseItem(const std::vector<std::string>& words, size_t& at,
                              std::string& error) {
  if (at >= words.size()) {
    error = "an item is missing (a kind such as station-level, then its address numbers)";
    return std::nullopt;
  }
  Item item;
  item.kind = facts::itemKindNamed(words[at]);
  if (item.kind == nullptr) {
    std::vector<std::string_view> kinds;
    for (const facts::ItemKindInfo& kind : facts::kItemCatalogue) kinds.emplace_back(kind.name);
    const std::string close = text::closestWord(words[at], kinds);
    std::string all;
    for (const std::string_view kind : kinds) all += (all.empty() ? "" : ", ") + std::string(kind);
    error = "unknown item kind " + text::quotedBytes(words[at]) +
            (close.empty() ? " (the kinds: " + all + ")" : " (did you mean " + close + "?)");
    return std::nullopt;
  }
  ++at;
  for (int i = 0; i < item.kind->addressCount; ++i, ++at) {
    const std::string plural = item.kind->addressCount == 1 ? "" : "s";
    if (at >= words.size()) {
      error = std::string(item.kind->name) + " takes " + std::to_string(item.kind->addressCount) +
              " address number" + plural + " from 0 to 255";
      return std::nullopt;
    }
    long long number = 0;
    if (!text::parseBounded(words[at], 0, 255, number)) {
      error = "address number " + text::quotedBytes(words[at]) + " of " + item.kind->name +
              " is not a number from 0 to 255";
      return std::nullopt;
    }
    item.addresses[static_cast<size_t>(i)] = static_cast<unsigned char>(number);
  }
  return item;
}

}  // namespace zephlor::host
