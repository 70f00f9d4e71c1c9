// The controller model: the reply to each of the fifteen requests, the values it keeps, and the
// lines it stays silent on.
#include "zephlor_sim/controller_model.h"

#include <gtest/gtest.h>

namespace zephlor::sim {
namespace {

struct Exchange {
  const char* request;  // without the line end
  const char* reply;    // null: no reply
};

// Runs the exchanges in order on one controller, so later queries see earlier sets.
void expectExchanges(ControllerModel& controller, std::initializer_list<Exchange> exchanges) {
  for (const Exchange& e : exchanges) {
    const std::optional<std::string> reply = controller.respond(e.request);
    if (e.reply == nullptr) {
      EXPECT_FALSE(reply.has_value()) << e.request << " got " << *reply;
    } else {
      EXPECT_EQ(reply.value_or("(none)"), std::string(e.reply) + "\r\n") << e.request;
    }
  }
}

TEST(ControllerModel, SetsAreEchoedAndQueriesReturnThem) {
  ControllerModel controller;
  expectExchanges(controller, {
                                  {"VLS# 1 2 3", "RLS# 1 2 3 0"},
                                  {"VLD# 1 2 3 1", "RLD# 1 2 3 1"},
                                  {"VLS# 1 2 3", "RLS# 1 2 3 1"},
                                  {"VLB# 1 2 3 4 50", "RLB# 1 2 3 4 50"},
                                  {"VGB# 1 2 3 4", "RGB# 1 2 3 4 50"},
                                  {"VGB# 1 2 3 5", "RGB# 1 2 3 5 0"},
                                  {"VLC# 1 2 3 75 7", "RLC# 1 2 3 75"},
                                  {"VGC# 1 2 3", "RGC# 1 2 3 75"},
                                  {"VLO# 4 100", "RLO# 4 100"},
                                  {"VGL# 4", "RGL# 4 100"},
                                  {"VSH# 1 2 3 -5", "RSH# 1 2 3 -5"},
                                  {"VGH# 1 2 3", "RGH# 1 2 3 -5"},
                                  {"VSW# 1 2 3 1", "RSW# 1 2 3 1"},
                                  {"VGS# 1 2 3", "RGS# 1 2 3 1"},
                                  {"VLP# 1 2 3 4 9", "RLP# 1 2 3 4 9"},
                                  {"VSP# 1 2 3 8", "RSP# 1 2 3 8"},
                              });
  EXPECT_EQ(controller.value(Register::kModuleLoadProfile, {1, 2, 3, 4}), 9);
  EXPECT_EQ(controller.value(Register::kStationLoadProfile, {1, 2, 3, 0}), 8);
  // The same addresses in another store are another item.
  EXPECT_EQ(controller.value(Register::kSwitch, {1, 2, 3, 0}), 1);
  EXPECT_EQ(controller.value(Register::kThermostat, {1, 2, 3, 0}), -5);
}

TEST(ControllerModel, ValuesAsReceived) {
  ControllerModel controller;
  expectExchanges(controller, {
                                  {"VLD# 1 2 3 300", "RLD# 1 2 3 44"},
                                  {"VLD# 1 2 3 -1", "RLD# 1 2 3 255"},
                                  {"VLD# 257 2 3 1", "RLD# 1 2 3 1"},
                                  {"VSH# 1 2 3 300", "RSH# 1 2 3 300"},
                                  {"VSH# 1 2 3 -2147483648", "RSH# 1 2 3 -2147483648"},
                                  {"VLB# 1 2 3 4 50 65535", "RLB# 1 2 3 4 50"},
                              });
  EXPECT_EQ(controller.lastModifier(), 65535);
  controller.respond("VLO# 4 100");
  EXPECT_EQ(controller.lastModifier(), 0);
}

TEST(ControllerModel, FirmwareIdentity) {
  ControllerModel controller({"2.10", "11/22/33"});
  expectExchanges(controller, {{"VGV# 7", "RGV# 7 VER 2.10 11/22/33"}});
  EXPECT_TRUE(isValidFirmwareVersion("2.05"));
  EXPECT_FALSE(isValidFirmwareVersion("2"));
  EXPECT_FALSE(isValidFirmwareVersion("2.x"));
  EXPECT_FALSE(isValidFirmwareVersion("2.1.3"));
  EXPECT_TRUE(isValidFirmwareDate("1/2/3"));
  EXPECT_FALSE(isValidFirmwareDate("1/2"));
  EXPECT_FALSE(isValidFirmwareDate("1-2-3"));
  EXPECT_FALSE(isValidFirmwareDate("1//3"));
}

TEST(ControllerModel, SilentOnLinesThatAreNotRequests) {
  ControllerModel controller;
  expectExchanges(controller, {
                                  {"", nullptr},
                                  {"V", nullptr},
                                  {"VGC#", nullptr},
                                  {"VGC# 1 2", nullptr},
                                  {"VGC# 1 2 3 4", nullptr},
                                  {"VXX# 1 2 3", nullptr},
                                  {"vgc# 1 2 3", nullptr},
                                  {" VGC# 1 2 3", nullptr},
                                  {"VGC#1 2 3", nullptr},
                                  {"VGC# 1 2 x", nullptr},
                                  {"VGC# 1 2 -", nullptr},
                                  {"VGC# 1 2 99999999999", nullptr},
                                  {"VLC# 1 2 3", nullptr},
                                  {"VLC# 1 2 3 4 5 6", nullptr},
                                  {"VLD# 1 2 3 4 5", nullptr},
                                  {"RGC# 1 2 3 75", nullptr},
                              });
}

// The store is bounded: a write to a new item past the bound is not answered, while items
// already kept can still be written and every item can still be read.
TEST(ControllerModel, StoreOfItemsIsBounded) {
  ControllerModel controller({}, 2);
  expectExchanges(controller, {
                                  {"VLD# 1 1 1 5", "RLD# 1 1 1 5"},
                                  {"VLC# 1 1 1 6", "RLC# 1 1 1 6"},
                                  {"VLD# 2 2 2 7", nullptr},
                              });
  EXPECT_EQ(controller.whySilent(), "the store is full (2 items)");
  expectExchanges(controller, {
                                  {"VLD# 1 1 1 8", "RLD# 1 1 1 8"},
                                  {"VLS# 2 2 2", "RLS# 2 2 2 0"},
                                  {"VLS# 1 1 1", "RLS# 1 1 1 8"},
                              });
}

}  // namespace
}  // namespace zephlor::sim
