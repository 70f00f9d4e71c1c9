#include "items.h"

#include "zephlor_host/visible_bytes.h"

#include <cerrno>
#include <cstdlib>

namespace zephlor::ctl {

const std::vector<KindInfo>& itemKinds() {
  static const std::vector<KindInfo> kinds = {
      {"firmware", ItemKind::Firmware, 1, true, false},
      {"led", ItemKind::LedState, 3, true, true},
      {"module-level", ItemKind::ModuleLoadLevel, 4, true, true},
      {"station-level", ItemKind::StationLoadLevel, 3, true, true},
      {"contactor-level", ItemKind::ContactorLoadLevel, 1, true, true},
      {"thermostat", ItemKind::Thermostat, 3, true, true},
      {"switch", ItemKind::Switch, 3, true, true},
      {"module-profile", ItemKind::ModuleLoadProfile, 4, false, true},
      {"station-profile", ItemKind::StationLoadProfile, 3, false, true},
      {"modifier", ItemKind::Modifier, 0, true, true},
  };
  return kinds;
}

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
  for (const KindInfo& kind : itemKinds()) {
    if (words[at] == kind.name) item.kind = &kind;
  }
  if (item.kind == nullptr) {
    error = "unknown item kind " + host::quotedBytes(words[at]);
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
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(words[at].c_str(), &end, 10);
    if (words[at].empty() || *end != '\0' || errno != 0 || number < 0 || number > 255) {
      error = "address number " + host::quotedBytes(words[at]) + " of " + item.kind->name +
              " is not a number from 0 to 255";
      return std::nullopt;
    }
    item.addresses[static_cast<size_t>(i)] = static_cast<unsigned char>(number);
  }
  return item;
}

}  // namespace zephlor::ctl
