#include "zephlor_sim/controller_model.h"

#include <cctype>
#include <vector>

#include "zephlor_facts/item_catalogue.h"

namespace zephlor::sim {
namespace {

enum class Action : uint8_t { kFirmware, kQuery, kSet };

// The controller's view of each request: what it does, which store it touches, and the numbers
// it expects after the "#".
struct Command {
  char mnemonic[3];
  Action action;
  Register where;
  uint8_t addressCount;
  bool takesModifier;  // an optional 16-bit number after the value
};

const Command kCommands[] = {
    {"GV", Action::kFirmware, Register::kLedState /* no store */, 1, false},
    {"LS", Action::kQuery, Register::kLedState, 3, false},
    {"GB", Action::kQuery, Register::kModuleLoadLevel, 4, false},
    {"GC", Action::kQuery, Register::kStationLoadLevel, 3, false},
    {"GL", Action::kQuery, Register::kContactorLoadLevel, 1, false},
    {"GH", Action::kQuery, Register::kThermostat, 3, false},
    {"GS", Action::kQuery, Register::kSwitch, 3, false},
    {"LD", Action::kSet, Register::kLedState, 3, false},
    {"LB", Action::kSet, Register::kModuleLoadLevel, 4, true},
    {"LC", Action::kSet, Register::kStationLoadLevel, 3, true},
    {"LO", Action::kSet, Register::kContactorLoadLevel, 1, true},
    {"SH", Action::kSet, Register::kThermostat, 3, false},
    {"SW", Action::kSet, Register::kSwitch, 3, false},
    {"LP", Action::kSet, Register::kModuleLoadProfile, 4, false},
    {"SP", Action::kSet, Register::kStationLoadProfile, 3, false},
};

const Command* findCommand(std::string_view mnemonic) {
  for (const Command& command : kCommands) {
    if (mnemonic == command.mnemonic) return &command;
  }
  return nullptr;
}

// The numbers after "#": each after one or more blanks, an optional minus sign and decimal
// digits within the signed 32-bit range. Anything else makes the line unknown.
std::optional<std::vector<int32_t>> parseNumbers(std::string_view text) {
  std::vector<int32_t> numbers;
  size_t at = 0;
  while (at < text.size()) {
    if (text[at] != ' ') return std::nullopt;
    while (at < text.size() && text[at] == ' ') ++at;
    if (at == text.size()) break;  // trailing blanks
    const bool negative = text[at] == '-';
    if (negative) ++at;
    if (at == text.size() || !std::isdigit(static_cast<unsigned char>(text[at]))) {
      return std::nullopt;
    }
    int64_t magnitude = 0;
    for (; at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])); ++at) {
      magnitude = magnitude * 10 + (text[at] - '0');
      if (magnitude > 2147483648LL) return std::nullopt;
    }
    const int64_t number = negative ? -magnitude : magnitude;
    if (number > INT32_MAX) return std::nullopt;
    numbers.push_back(static_cast<int32_t>(number));
  }
  return numbers;
}

uint8_t lowByte(int32_t number) { return static_cast<uint8_t>(number & 0xFF); }

std::string replyLine(const Command& command, const ItemAddress& address, int32_t value) {
  std::string line = std::string("R") + command.mnemonic + "#";
  for (size_t i = 0; i < command.addressCount; ++i) line += " " + std::to_string(address[i]);
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
  if (line.size() < 4 || line[0] != 'V' || line[3] != '#') return std::nullopt;
  const Command* command = findCommand(line.substr(1, 2));
  if (command == nullptr) return std::nullopt;
  const std::optional<std::vector<int32_t>> numbers = parseNumbers(line.substr(4));
  if (!numbers) return std::nullopt;

  const size_t addressCount = command->addressCount;
  const size_t least = addressCount + (command->action == Action::kSet ? 1 : 0);
  const size_t most = least + (command->takesModifier ? 1 : 0);
  if (numbers->size() < least || numbers->size() > most) return std::nullopt;
  whySilent_.clear();

  ItemAddress address{};
  for (size_t i = 0; i < addressCount; ++i) address[i] = lowByte((*numbers)[i]);

  switch (command->action) {
    case Action::kFirmware:
      return "RGV# " + std::to_string(address[0]) + " VER " + firmware_.version + " " +
             firmware_.date + "\r\n";
    case Action::kQuery:
      return replyLine(*command, address, value(command->where, address));
    case Action::kSet: {
      const int32_t sent = (*numbers)[addressCount];
      const int32_t received = holdsWholeValues(command->where) ? sent : lowByte(sent);
      if (!setValue(command->where, address, received)) {
        whySilent_ = "the store is full (" + std::to_string(maxItems_) + " items)";
        return std::nullopt;
      }
      if (command->takesModifier) {
        lastModifier_ =
            numbers->size() == most ? static_cast<uint16_t>((*numbers)[most - 1] & 0xFFFF) : 0;
      }
      return replyLine(*command, address, received);
    }
  }
  return std::nullopt;
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
