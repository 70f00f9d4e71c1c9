// The host's transaction sequence against the real plug-in and a scripted line: every outcome a
// transaction can have, and that the driver is called in the host's order.
#include "zephlor_host/transaction.h"

#include "zephlor_text/visible_bytes.h"

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
  bool silent = true;  // false: bytes keep arriving unasked

  bool discardPendingInput() override {
    ++discards;
    return silent;
  }
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
    result.overflowed = reply.bytes.size() > capacity;
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
                        const ScriptedLine::Reply& reply, bool lenient = false) {
    line_.replies.push_back(reply);
    IA item{};
    item.fields = {0, kind, 1, 2, 3, 4};
    records_[0] = RSDATA{};
    records_[0].value = value;
    records_[0].direction = direction;
    // The address numbers of the kinds used here: firmware 1, module profile 4, others 3.
    const int addressCount = kind == 0 ? 1 : kind == 7 ? 4 : 3;
    TransactionRules rules;
    rules.timeout = std::chrono::milliseconds(10);
    rules.lenient = lenient;
    return runTransaction(module_.entryPoints(), item, addressCount, records_, line_, rules,
                          nullptr);
  }

  DriverModule module_;
  ScriptedLine line_;
  RSDATA records_[5] = {};
};

// The verdict on every kind of reply, read and write: what the transport, the driver and the
// host's own reading of the line each decide.
TEST_F(Transactions, VerdictOnEveryKindOfReply) {
  const std::string tooLong = "RGC#" + std::string(245, ' ') + " 1 2 3 75\r\n";
  const std::string tooLongEcho = "RSW#" + std::string(245, ' ') + " 1 2 3 1\r\n";
  const struct {
    unsigned char kind;
    unsigned char direction;
    ScriptedLine::Reply reply;
    TransactionOutcome outcome;
    int checkResult;
    bool lenient = false;
  } cases[] = {
      {3, 0, {"RGC# 1 2 3 75\r\n"}, TransactionOutcome::kCompleted, 0},
      {3, 0, {"RGC#1 2 3 -5\n"}, TransactionOutcome::kCompleted, 0},
      {0, 0, {"RGV# 1 VER 2.10 11/22/33\r\n"}, TransactionOutcome::kCompleted, 0},
      {3, 0, {""}, TransactionOutcome::kNoReply, 9},
      {3, 0, {"RGC", false}, TransactionOutcome::kIncomplete, -1},
      {3, 0, {"RGC# 1 2 3 7", false}, TransactionOutcome::kIncomplete, -1},
      {3, 0, {tooLong}, TransactionOutcome::kTooLong, -1},
      {6, 1, {tooLongEcho}, TransactionOutcome::kTooLong, -1},
      {3, 0, {"RGC# 1 2", false, true}, TransactionOutcome::kReceiveFailed, -1},
      {3, 0, {"", false, false, true}, TransactionOutcome::kInterrupted, -1},
      {3, 0, {"RG\r\n"}, TransactionOutcome::kTooShort, 4},
      {3, 0, {"XGC# 1 2 3 75\r\n"}, TransactionOutcome::kNotAFrame, 10},
      {3, 0, {"RGS# 1 2 3 75\r\n"}, TransactionOutcome::kOtherItem, 0},
      {3, 0, {"RGC# 9 9 9 75\r\n"}, TransactionOutcome::kOtherItem, 0},
      {6, 1, {"RSW# 1 2 9 1\r\n"}, TransactionOutcome::kOtherItem, 0},
      {3, 0, {"RGC# 1 2 3 7Y\r\n"}, TransactionOutcome::kNotANumber, 0},
      {3, 0, {std::string("RGC# 1 2 3 7\0\r\n", 15)}, TransactionOutcome::kNotANumber, 0},
      {3, 0, {"RGC# 1 2 3 75 99\r\n"}, TransactionOutcome::kNotANumber, 0},
      {3, 0, {"RGC# 1 2 3\r\n"}, TransactionOutcome::kNotANumber, 0},
      {3, 0, {"RGC# 1 2 3 99999999999\r\n"}, TransactionOutcome::kNotANumber, 0},
      {0, 0, {"RGV# 1 VER 2.1O 11/22/33\r\n"}, TransactionOutcome::kNotANumber, 0},
      {6, 1, {"RSW# 1 2 3 1Y\r\n"}, TransactionOutcome::kNotANumber, 0},
      {6, 1, {"RSW# 1 2 3 0\r\n"}, TransactionOutcome::kNotConfirmed, 0},
      // Let through by --lenient, the driver's own verdict stands.
      {3, 0, {"RGC# 1 2 3 7Y\r\n"}, TransactionOutcome::kCompleted, 0, true},
      {3, 0, {"RGS# 1 2 3 75\r\n"}, TransactionOutcome::kNotParsed, 0, true},
      {7, 0, {"RGC# 1 2 3 75\r\n"}, TransactionOutcome::kNothingToSend, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(text::visibleBytes(c.reply.bytes) + (c.lenient ? " (lenient)" : ""));
    line_.replies.clear();
    const TransactionResult result =
        run(c.kind, c.direction ? 1.0f : 0.0f, c.direction, c.reply, c.lenient);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.checkResult, c.checkResult);
    const bool explained =
        c.outcome == TransactionOutcome::kOtherItem || c.outcome == TransactionOutcome::kNotANumber;
    EXPECT_EQ(result.error.empty(), !explained) << result.error;
    EXPECT_EQ(result.warning.empty(), !c.lenient) << result.warning;
  }
  line_.replies.clear();
  EXPECT_EQ(run(3, 0.0f, 0, {"RGC# 1 2 3 75\r\n"}).request, "VGC# 1 2 3\r\n");
  EXPECT_EQ(records_[0].value, 75.0f);
  EXPECT_GT(line_.discards, 0) << "stale input is discarded before each request";
  const TransactionResult write = run(6, 300.0f, 1, {"RSW# 1 2 3 44\r\n"});
  EXPECT_EQ(line_.sent.back(), "VSW# 1 2 3 44\r\n");
  EXPECT_EQ(write.sentValue, 44);
  EXPECT_EQ(write.outcome, TransactionOutcome::kCompleted);
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
