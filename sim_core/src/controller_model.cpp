#include "zephlor_sim/controller_model.h"

#include <cctype>
#include <vector>

#include "zephlor_facts/item_catalogue.h"
#include "zephlor_sim/request_words.h"

namespace zephlor::sim {
namespace {

uint8_t lowByte(int32_t number) { return static_cast<uint8_t>(number & 0xFF); }

std::string replyLine(const facts::LineCommand& command, const ItemAddress& address,
                      int32_t value) {
  std::string line = std::string("R") + command.mnemonic + "#";
  for (int i = 0; i < command.addressCount; ++i) {
    line += " " + std::to_string(address[static_cast<size_t>(i)]);
  }
  return line + " " + std::to_string(value) + "\r\n";
}

// The stores are the catalogue's kinds from the LED state to the station load profile.
constexpr ItemKind kindOf(Register where) {
  return static_cast<ItemKind>(static_cast<unsigned>(where) + 1);
}
static_assert(kindOf(Register::kLedState) == ItemKind::LedState &&
                  kindOf(Register::kStationLoadProfile) == ItemKind::StationLoadProfile,
              "the stores follow the item kinds");

bool isDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// Whether `text` is `parts` runs of digits separated by `separator`.
bool isDigitGroups(std::string_view text, char separator, int parts) {
  for (int part = 1; part < parts; ++part) {
    const size_t end = text.find(separator);
    if (end == std::string_view::npos || !isDigits(text.substr(0, end))) return false;
    text.remove_prefix(end + 1);
  }
  return isDigits(text);
}

}  // namespace

std::optional<Register> registerNamed(std::string_view name) {
  const facts::ItemKindInfo* info = facts::itemKindNamed(name);
  if (info == nullptr || info->kind < ItemKind::LedState ||
      info->kind > ItemKind::StationLoadProfile) {
    return std::nullopt;
  }
  return static_cast<Register>(static_cast<unsigned>(info->kind) - 1);
}

const char* registerName(Register where) { return facts::itemKindInfo(kindOf(where)).name; }

int addressCount(Register where) { return facts::itemKindInfo(kindOf(where)).addressCount; }

bool holdsWholeValues(Register where) {
  return facts::itemKindInfo(kindOf(where)).value == facts::ValueRule::kWhole32;
}

bool isValidFirmwareVersion(std::string_view version) { return isDigitGroups(version, '.', 2); }

bool isValidFirmwareDate(std::string_view date) { return isDigitGroups(date, '/', 3); }

ControllerModel::ControllerModel(FirmwareIdentity firmware, size_t maxItems)
    : firmware_(std::move(firmware)), maxItems_(maxItems) {}

std::optional<std::string> ControllerModel::respond(std::string_view line) {
  whySilent_ = "not a request";
  const std::optional<RequestWords> request = readRequest(line);
  if (!request) return std::nullopt;
  whySilent_.clear();
  const facts::LineCommand& command = *request->command;
  ItemAddress address{};
  for (size_t i = 0; i < request->addresses.size(); ++i) {
    address[i] = lowByte(request->addresses[i]);
  }
  if (command.action == facts::LineAction::kFirmware) {
    return "RGV# " + std::to_string(address[0]) + " VER " + firmware_.version + " " +
           firmware_.date + "\r\n";
  }
  const auto where = static_cast<Register>(static_cast<unsigned>(command.kind) - 1);
  if (command.action == facts::LineAction::kQuery) {
    return replyLine(command, address, value(where, address));
  }
  const int32_t sent = *request->value;
  const int32_t received = holdsWholeValues(where) ? sent : lowByte(sent);
  if (!setValue(where, address, received)) {
    whySilent_ = "the store is full (" + std::to_string(maxItems_) + " items)";
    return std::nullopt;
  }
  if (command.takesModifier) {
    lastModifier_ = static_cast<uint16_t>(request->modifier.value_or(0) & 0xFFFF);
  }
  return replyLine(command, address, received);
}

bool ControllerModel::setValue(Register where, const ItemAddress& address, int32_t value) {
  const auto key = std::make_pair(where, address);
  if (values_.size() >= maxItems_ && values_.count(key) == 0) return false;
  values_[key] = value;
  ++changes_;
  return true;
}

int32_t ControllerModel::value(Register where, const ItemAddress& address) const {
  const auto found = values_.find({where, address});
  return found != values_.end() ? found->second : 0;
}

}  // namespace zephlor::sim
