#include "exchange_table.h"

namespace wirelex {
namespace {

// "RGV# address VER major.minor date1/date2/date3"
constexpr const char* kFirmwareSeparators[kMaxReplyFields] = {" ", " VER ", ".", " ", "/", "/"};

using V = SetValue;

// Indexed by ExchangeId.
constexpr Exchange kExchanges[] = {
    {"GV", 1, V::kNone, false, 6, kFirmwareSeparators},
    {"LS", 3, V::kNone, false, 4, nullptr},
    {"GB", 4, V::kNone, false, 5, nullptr},
    {"GC", 3, V::kNone, false, 4, nullptr},
    {"GL", 1, V::kNone, false, 2, nullptr},
    {"GH", 3, V::kNone, false, 4, nullptr},
    {"GS", 3, V::kNone, false, 4, nullptr},
    {"LD", 3, V::kByte, false, 4, nullptr},
    {"LB", 4, V::kByte, true, 5, nullptr},
    {"LC", 3, V::kByte, true, 4, nullptr},
    {"LO", 1, V::kByte, true, 2, nullptr},
    {"SH", 3, V::kWhole, false, 4, nullptr},
    {"SW", 3, V::kByte, false, 4, nullptr},
    {"LP", 4, V::kByte, false, 5, nullptr},
    {"SP", 3, V::kByte, false, 4, nullptr},
};

static_assert(sizeof(kExchanges) / sizeof(kExchanges[0]) ==
                  static_cast<int>(ExchangeId::kSetStationLoadProfile) + 1,
              "one table row per exchange");

}  // namespace

const Exchange& exchangeFor(ExchangeId id) { return kExchanges[static_cast<int>(id)]; }

}  // namespace wirelex
