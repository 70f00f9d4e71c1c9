// A model of the Zephlor controller: it answers the fifteen request lines of the protocol and
// keeps the value of every item it has been sent, so a later query returns it.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace zephlor::sim {

// The controller's stores of item values, one per kind of item.
enum class Register : uint8_t {
  kLedState,
  kModuleLoadLevel,
  kStationLoadLevel,
  kContactorLoadLevel,
  kThermostat,
  kSwitch,
  kModuleLoadProfile,
  kStationLoadProfile,
};

using ItemAddress = std::array<uint8_t, 4>;  // unused trailing numbers are 0

// A store by the name the tools give its items ("station-level"), and the other way round, with
// how many address numbers its items have.
std::optional<Register> registerNamed(std::string_view name);
const char* registerName(Register where);
int addressCount(Register where);
// Whether a store keeps its values whole (the thermostat's signed 32-bit set point) rather than
// as their low 8 bits.
bool holdsWholeValues(Register where);

struct FirmwareIdentity {
  std::string version = "1.0";   // "MAJOR.MINOR", sent as written
  std::string date = "12/8/26";  // "A/B/C", sent as written
};

// "MAJOR.MINOR" and "A/B/C" with decimal digits only, as the reply carries them.
bool isValidFirmwareVersion(std::string_view version);
bool isValidFirmwareDate(std::string_view date);
constexpr const char* kFirmwareVersionForm = "MAJOR.MINOR, such as 2.10";
constexpr const char* kFirmwareDateForm = "three numbers A/B/C, such as 11/22/33";

// How many items the controller keeps values for unless told otherwise; a bound, so that a
// stream of writes to ever new addresses cannot use up the machine's memory.
constexpr size_t kDefaultMaxItems = 65536;

class ControllerModel {
 public:
  explicit ControllerModel(FirmwareIdentity firmware = {}, size_t maxItems = kDefaultMaxItems);

  // The reply line, CR LF included, to one request line given without its line end. Nothing
  // for a line that is not one of the controller's requests, and nothing for a write to a new
  // item once `maxItems` are kept: the controller stays silent. `whySilent` says which.
  std::optional<std::string> respond(std::string_view requestLine);
  const std::string& whySilent() const { return whySilent_; }

  // The value the controller holds for an item; 0 for one never set.
  int32_t value(Register where, const ItemAddress& address) const;

  // Every value set, by store and address; and setting one as a set request would (false when
  // the store is full).
  const std::map<std::pair<Register, ItemAddress>, int32_t>& values() const { return values_; }
  bool setValue(Register where, const ItemAddress& address, int32_t value);
  // How many values have been set so far: a keeper of the values saves when it moves.
  uint64_t changes() const { return changes_; }

  // The level modifier carried by the most recent load level set line, 0 if it had none.
  uint16_t lastModifier() const { return lastModifier_; }

 private:
  FirmwareIdentity firmware_;
  size_t maxItems_;
  std::string whySilent_;
  std::map<std::pair<Register, ItemAddress>, int32_t> values_;
  uint16_t lastModifier_ = 0;
  uint64_t changes_ = 0;
};

}  // namespace zephlor::sim
