#include "zephlor_text/item_catalogue.h"

#include "zephlor_text/help_rows.h"

namespace zephlor::text {

const ItemKindInfo* itemKindNamed(std::string_view name) {
  for (const ItemKindInfo& info : kItemCatalogue) {
    if (name == info.name) return &info;
  }
  return nullptr;
}

std::string itemCatalogueHelp() {
  std::string text;
  for (const ItemKindInfo& info : kItemCatalogue) {
    std::string usage = info.name;
    for (int i = 0; i < info.addressCount; ++i) usage += std::string(" ") + "ABCD"[i];
    text += helpRow(usage, info.note, 28);
  }
  return text;
}

}  // namespace zephlor::text
