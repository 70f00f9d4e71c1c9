#include "zephlor_facts/item_catalogue.h"

#include "zephlor_text/help_rows.h"

namespace zephlor::facts {

const ItemKindInfo* itemKindNamed(std::string_view name) {
  for (const ItemKindInfo& info : kItemCatalogue) {
    if (name == info.name) return &info;
  }
  return nullptr;
}

std::string itemCatalogueHelp() {
  std::string help;
  for (const ItemKindInfo& info : kItemCatalogue) {
    std::string usage = info.name;
    for (int i = 0; i < info.addressCount; ++i) usage += std::string(" ") + "ABCD"[i];
    help += text::helpRow(usage, *info.note != '\0' ? info.note : "read and written", 28);
  }
  return help;
}

}  // namespace zephlor::facts
