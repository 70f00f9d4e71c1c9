#include "zephlor_facts/item_catalogue.h"

#include <cmath>

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
    std::string about = *info.note != '\0' ? info.note : "read and written";
    if (info.writable) about += "; values " + boundsText(valueBounds(info));
    help += text::helpRow(usage, about, 28);
  }
  return help;
}

ValueBounds valueBounds(const ItemKindInfo& kind) {
  switch (kind.value) {
    case ValueRule::kWhole32:
      return {-2147483648.0, 2147483647.0};
    case ValueRule::kModifier:
      return {0, 65535};
    default:
      return {0, 255};
  }
}

std::string boundsText(const ValueBounds& bounds) {
  return std::to_string(static_cast<long long>(bounds.least)) + " to " +
         std::to_string(static_cast<long long>(bounds.most));
}

std::string valueProblem(const ItemKindInfo& kind, double value) {
  if (!kind.writable) return std::string(kind.name) + " cannot be written";
  const ValueBounds bounds = valueBounds(kind);
  if (!std::isfinite(value) || value != std::trunc(value) || value < bounds.least ||
      value > bounds.most) {
    return std::string(kind.name) + " takes whole numbers from " + boundsText(bounds);
  }
  if (static_cast<double>(static_cast<float>(value)) != value) {
    return "the driver carries values as 32-bit floats, which cannot hold this one exactly";
  }
  return "";
}

}  // namespace zephlor::facts
