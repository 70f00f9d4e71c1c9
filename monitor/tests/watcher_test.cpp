// The watcher on exchanges as they pass a line: each step is bytes from one side at a time after
// the start, and each case the verdicts its records carry, in order.
#include <gtest/gtest.h>

#include "zephlor_monitor/watcher.h"

namespace zephlor::monitor {
namespace {

using std::chrono::milliseconds;

enum class Side { kHost, kController, kTick };

struct Step {
  Side side;
  const char* bytes;
  int at;  // milliseconds after the start
};

struct Case {
  const char* name;
  std::vector<Step> steps;
  std::vector<std::string> verdicts;
  const char* firstValue = "";
};

class WatcherTest : public testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(driver_.load(OSTERFELL_PLUGIN_PATH, error)) << error;
  }
  host::DriverModule driver_;
};

TEST_P(WatcherTest, JudgesWhatPassed) {
  const Case& row = GetParam();
  Watcher watcher(driver_.entryPoints(), milliseconds(1000));
  const Moment start = Moment::now();
  for (const Step& step : row.steps) {
    const Moment at{start.steady + milliseconds(step.at), start.wall + milliseconds(step.at)};
    if (step.side == Side::kHost) watcher.fromHost(step.bytes, at);
    if (step.side == Side::kController) watcher.fromController(step.bytes, at);
    if (step.side == Side::kTick) watcher.tick(at);
  }
  std::vector<std::string> verdicts;
  const std::vector<Exchange> records = watcher.take();
  for (const Exchange& record : records) verdicts.push_back(record.verdict);
  EXPECT_EQ(verdicts, row.verdicts);
  if (*row.firstValue != '\0' && !records.empty()) {
    EXPECT_EQ(records.front().value, row.firstValue);
    EXPECT_EQ(records.front().item, "station-level 1 2 3");
    EXPECT_EQ(records.front().replyTime, std::chrono::microseconds(20000));
  }
}

const Side H = Side::kHost, C = Side::kController, T = Side::kTick;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Exchanges, WatcherTest, testing::Values(
    Case{"Read", {{H, "VGC# 1 2 3\r\n", 0}, {C, "RGC# 1 2 3 75\r\n", 20}}, {"good"}, "75"},
    Case{"SplitAnyhow", {{H, "VG", 0}, {H, "C# 1 2 3\r\n", 1}, {C, "RGC# 1", 5}, {C, " 2 3 7", 10},
                         {C, "5\r\n", 21}}, {"good"}, "75"},
    Case{"WriteConfirmed", {{H, "VLC# 1 2 3 42\r\n", 0}, {C, "RLC# 1 2 3 42\r\n", 20}}, {"good"}, "42"},
    Case{"WriteNotConfirmed", {{H, "VLC# 1 2 3 42\r\n", 0}, {C, "RLC# 1 2 3 41\r\n", 20}},
         {"not-confirmed"}},
    Case{"AnotherItem", {{H, "VGC# 1 2 3\r\n", 0}, {C, "RGC# 1 2 4 5\r\n", 20}}, {"another-item"}},
    Case{"NoReplyWithinTheTimeout", {{H, "VGC# 1 2 3\r\n", 0}, {T, "", 1100}}, {"no-reply"}},
    Case{"NoReplyBeforeTheNext", {{H, "VGC# 1 2 3\r\n", 0}, {H, "VGS# 1 1 4\r\n", 100},
                                  {C, "RGS# 1 1 4 1\r\n", 120}},
         {"no-reply-before-next", "good"}},
    Case{"RequestOverAReply", {{H, "VGC# 1 2 3\r\n", 0}, {C, "RGC# 1 2", 50}, {H, "VGC# 1 2 3\r\n", 60}},
         {"request-while-due"}},
    Case{"LateReply", {{H, "VGC# 1 2 3\r\n", 0}, {C, "RGC# 1 2 3 75\r\n", 1500}},
         {"no-reply", "late-reply"}},
    Case{"UnaskedReply", {{C, "RGC# 1 2 3 75\r\n", 0}}, {"unasked-reply"}},
    Case{"NoRequest", {{H, "hello\r\n", 0}, {H, "VZZ# 1\r\n", 5}}, {"not-a-request", "not-a-request"}},
    Case{"Firmware", {{H, "VGV# 0\r\n", 0}, {C, "RGV# 0 VER 2.10 22/11/33\r\n", 20}}, {"good"}}
), [](const testing::TestParamInfo<Case>& row) { return std::string(row.param.name); });
// clang-format on

}  // namespace
}  // namespace zephlor::monitor
