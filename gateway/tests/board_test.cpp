// The HTTP port's view of the gateway: the events a page follows, and the metrics it exposes.
#include <gtest/gtest.h>

#include "board.h"
#include "metrics_text.h"

namespace zephlor::gateway {
namespace {

using facts::TransactionOutcome;
using std::chrono::milliseconds;

LineConfig lineNamed(const std::string& name, const std::string& device = "sim") {
  LineConfig line = simulatedConfig().lines.front();
  line.name = name;
  line.device = device;
  return line;
}

TEST(Board, APageFollowsEventsAndStartsAgainWhenItFellBehindOrTheLinesChanged) {
  Board board;
  board.setLines({lineNamed("a"), lineNamed("b")});
  Board::Events first = board.eventsAfter(0, milliseconds(0));
  ASSERT_TRUE(first.startAgain);
  EXPECT_NE(first.events.front().find("\"name\":\"b\""), std::string::npos);

  board.sample("a", 1, Json(75), kGoodQuality, true);
  board.sample("a", 1, Json(76), kGoodQuality, false);  // not published: no event
  const Board::Events next = board.eventsAfter(first.next, milliseconds(0));
  ASSERT_FALSE(next.startAgain);
  ASSERT_EQ(next.events.size(), 1u);
  EXPECT_EQ(next.events.front(),
            R"({"type":"item","line":"a","item":"hall-level","value":75,"quality":"good"})");

  for (size_t i = 0; i <= kEventsKept; ++i) board.sample("b", 1, Json(i), kGoodQuality, true);
  EXPECT_TRUE(board.eventsAfter(next.next, milliseconds(0)).startAgain);

  // Line a is kept as it was; b changed its device and starts afresh.
  const uint64_t before = board.eventsAfter(0, milliseconds(0)).next;
  board.setLines({lineNamed("a"), lineNamed("b", "tcp:127.0.0.1:1")});
  EXPECT_TRUE(board.eventsAfter(before, milliseconds(0)).startAgain);
  const BoardState state = board.state();
  EXPECT_EQ(state.lines[0].items[1].value, Json(75));
  EXPECT_EQ(state.lines[0].items[1].trend.size(), 1u);
  EXPECT_TRUE(state.lines[1].items[1].value.is_null());
}

TEST(Metrics, NameEachSeriesOnceWithCumulativeBucketsAndEscapedLabels) {
  Board board;
  board.setLines({lineNamed("hall \"A\"\\1")});
  const std::string line = "hall \"A\"\\1";
  board.transaction(line, TransactionOutcome::kSendFailed, std::nullopt);
  board.transaction(line, TransactionOutcome::kReceiveFailed, std::nullopt);
  board.transaction(line, TransactionOutcome::kCompleted, std::chrono::microseconds(3000));
  board.transaction(line, TransactionOutcome::kCompleted, std::chrono::microseconds(70000));
  board.sample(line, 1, Json(42), kGoodQuality, true);
  const std::string text = prometheusText(board.state(), LinkFigures{true, true, 0, 7, 0});
  const std::string label = R"(line="hall \"A\"\\1")";
  for (const std::string& expected : {
           "zephlor_line_failures_total{" + label + ",verdict=\"line-down\"} 2\n",
           "zephlor_line_transactions_total{" + label + ",verdict=\"good\"} 2\n",
           "zephlor_line_reply_seconds_bucket{" + label + ",le=\"0.005\"} 1\n",
           "zephlor_line_reply_seconds_bucket{" + label + ",le=\"0.05\"} 1\n",
           "zephlor_line_reply_seconds_bucket{" + label + ",le=\"0.1\"} 2\n",
           "zephlor_line_reply_seconds_bucket{" + label + ",le=\"+Inf\"} 2\n",
           "zephlor_line_reply_seconds_sum{" + label + "} 0.073\n",
           "zephlor_item_value{" + label + ",item=\"hall-level\"} 42\n",
           std::string("zephlor_values_coalesced_total 7\n"),
       }) {
    EXPECT_NE(text.find(expected), std::string::npos) << expected << "not in\n" << text;
  }
  size_t lineDownSeries = 0;
  for (size_t at = 0; (at = text.find("verdict=\"line-down\"", at)) != std::string::npos; ++at) {
    ++lineDownSeries;
  }
  EXPECT_EQ(lineDownSeries, 2u);  // one under transactions, one under failures
}

}  // namespace
}  // namespace zephlor::gateway
