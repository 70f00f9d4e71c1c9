// The host's transaction sequence against the real plug-in and a scripted line: every outcome a
// transaction can have, and that the driver is called in the host's order.
#include "zephlor_host/transaction.h"

#include <gtest/gtest.h>

#include <cstring>
#include <deque>

namespace zephlor::host {
namespace {

// A line whose replies are written in advance; it records what was sent.
class ScriptedLine : public LineTransport {
 public:
  struct Reply {
    std::string bytes;
    bool lineComplete = true;
    bool hungUp = false;
    bool interrupted = false;
  };
  std::deque<Reply> replies;
  std::vector<std::string> sent;
  bool failSend = false;
  int discards = 0;

  void discardPendingInput() override { ++discards; }
  SendStatus send(const char* data, size_t length, std::chrono::milliseconds,
                  std::string& error) override {
    if (failSend) {
      error = "line is down";
      return SendStatus::kFailed;
    }
    sent.emplace_back(data, length);
    return SendStatus::kSent;
  }
  ReceiveResult receiveLine(char* buffer, size_t capacity, std::chrono::milliseconds) override {
    ReceiveResult result;
    if (replies.empty()) return result;
    const Reply reply = replies.front();
    replies.pop_front();
    result.length = std::min(capacity, reply.bytes.size());
    memcpy(buffer, reply.bytes.data(), result.length);
    result.lineComplete = reply.lineComplete;
    result.failed = reply.hungUp;
    result.interrupted = reply.interrupted;
    return result;
  }
};

class Transactions : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(module_.load(OSTERFELL_PLUGIN_PATH, error)) << error;
  }

  TransactionResult run(unsigned char kind, float value, unsigned char direction,
                        const ScriptedLine::Reply& reply) {
    line_.replies.push_back(reply);
    IA item{};
    item.fields = {0, kind, 1, 2, 3, 4};
    records_[0] = RSDATA{};
    records_[0].value = value;
    records_[0].direction = direction;
    return runTransaction(module_.entryPoints(), item, records_, line_,
                          std::chrono::milliseconds(10), nullptr);
  }

  DriverModule module_;
  ScriptedLine line_;
  RSDATA records_[5] = {};
};

TEST_F(Transactions, OutcomesOfReads) {
  const struct {
    unsigned char kind;
    ScriptedLine::Reply reply;
    TransactionOutcome outcome;
    int checkResult;
  } cases[] = {
      {3, {"RGC# 1 2 3 75\r\n"}, TransactionOutcome::kCompleted, 0},
      {3, {""}, TransactionOutcome::kNoReply, 9},
      {3, {"RGC", false}, TransactionOutcome::kIncomplete, -1},
      {3, {"RGC# 1 2 3 7", false}, TransactionOutcome::kIncomplete, -1},
      {3, {"RGC# 1 2", false, true}, TransactionOutcome::kReceiveFailed, -1},
      {3, {"", false, false, true}, TransactionOutcome::kInterrupted, -1},
      {3, {"RG\r\n"}, TransactionOutcome::kRefused, 4},
      {3, {"XGC# 1 2 3 75\r\n"}, TransactionOutcome::kRefused, 10},
      {3, {"RGS# 1 2 3 75\r\n"}, TransactionOutcome::kNotParsed, 0},
      {7, {"RGC# 1 2 3 75\r\n"}, TransactionOutcome::kNothingToSend, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply.bytes);
    line_.replies.clear();
    const TransactionResult result = run(c.kind, 0.0f, 0, c.reply);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.checkResult, c.checkResult);
  }
  line_.replies.clear();
  EXPECT_EQ(run(3, 0.0f, 0, {"RGC# 1 2 3 75\r\n"}).request, "VGC# 1 2 3\r\n");
  EXPECT_EQ(records_[0].value, 75.0f);
  EXPECT_GT(line_.discards, 0) << "stale input is discarded before each request";
}

TEST_F(Transactions, OutcomesOfWrites) {
  EXPECT_EQ(run(6, 1.0f, 1, {"RSW# 1 2 3 1\r\n"}).outcome, TransactionOutcome::kCompleted);
  EXPECT_EQ(line_.sent.back(), "VSW# 1 2 3 1\r\n");
  EXPECT_EQ(run(6, 1.0f, 1, {"RSW# 1 2 3 0\r\n"}).outcome, TransactionOutcome::kNotConfirmed);
  EXPECT_EQ(records_[0].status, 1);
}

TEST_F(Transactions, ModifierNeedsNoLine) {
  const size_t sentBefore = line_.sent.size();
  TransactionResult result = run(9, 7.0f, 1, {""});
  EXPECT_EQ(result.outcome, TransactionOutcome::kCompleted);
  EXPECT_EQ(records_[0].status, 0);
  result = run(9, 0.0f, 0, {""});
  EXPECT_EQ(result.outcome, TransactionOutcome::kCompleted);
  EXPECT_EQ(records_[0].value, 7.0f);
  EXPECT_EQ(line_.sent.size(), sentBefore);
}

TEST_F(Transactions, SendFailureIsReported) {
  line_.failSend = true;
  const TransactionResult result = run(3, 0.0f, 0, {"RGC# 1 2 3 75\r\n"});
  EXPECT_EQ(result.outcome, TransactionOutcome::kSendFailed);
  EXPECT_EQ(result.error, "line is down");
}

}  // namespace
}  // namespace zephlor::host
