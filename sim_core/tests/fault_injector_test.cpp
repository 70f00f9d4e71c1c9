// The fault injector: what each fault does to a reply, and that a seed repeats a run.
#include "zephlor_sim/fault_injector.h"

#include <gtest/gtest.h>

namespace zephlor::sim {
namespace {

const std::string kReply = "RLC# 1 2 3 75\r\n";

FaultPlan only(const char* setting) {
  FaultPlan plan;
  EXPECT_TRUE(addFault(plan, setting)) << setting;
  return plan;
}

std::string joined(const std::vector<Chunk>& chunks) {
  std::string all;
  for (const Chunk& chunk : chunks) all += chunk.bytes;
  return all;
}

TEST(FaultInjector, NoFaultDeliversTheReplyAtOnce) {
  FaultInjector injector{FaultPlan{}};
  const std::vector<Chunk> chunks = injector.deliver(kReply);
  ASSERT_EQ(chunks.size(), 1u);
  EXPECT_EQ(chunks[0].bytes, kReply);
  EXPECT_EQ(chunks[0].pauseBefore.count(), 0);
  EXPECT_TRUE(injector.lastFaults().empty());
}

TEST(FaultInjector, EachFaultDoesWhatItSays) {
  EXPECT_TRUE(FaultInjector(only("drop")).deliver(kReply).empty());
  EXPECT_EQ(joined(FaultInjector(only("wrong-address")).deliver(kReply)), "RLC# 2 2 3 75\r\n");
  EXPECT_EQ(joined(FaultInjector(only("wrong-address")).deliver("RLO# 255 1\r\n")), "RLO# 0 1\r\n");
  EXPECT_EQ(joined(FaultInjector(only("wrong-value")).deliver(kReply)), "RLC# 1 2 3 74\r\n");
  EXPECT_EQ(joined(FaultInjector(only("wrong-value")).deliver("RSH# 1 2 3 -4\r\n")),
            "RSH# 1 2 3 -5\r\n");

  FaultPlan delayed = only("delay");
  delayed.delay = std::chrono::milliseconds(250);
  const std::vector<Chunk> late = FaultInjector(delayed).deliver(kReply);
  ASSERT_EQ(late.size(), 1u);
  EXPECT_EQ(late[0].pauseBefore.count(), 250);
  EXPECT_EQ(late[0].bytes, kReply);
}

TEST(FaultInjector, GarbleChangesOnePrintableByteBeforeTheLineEnd) {
  for (uint32_t seed = 0; seed < 200; ++seed) {
    FaultPlan plan = only("garble");
    plan.seed = seed;
    const std::string garbled = joined(FaultInjector(plan).deliver(kReply));
    ASSERT_EQ(garbled.size(), kReply.size());
    int differences = 0;
    for (size_t i = 0; i < garbled.size(); ++i) {
      if (garbled[i] == kReply[i]) continue;
      ++differences;
      EXPECT_LT(i, kReply.size() - 2) << "the line end stays";
      EXPECT_TRUE(garbled[i] >= ' ' && garbled[i] <= '~');
    }
    EXPECT_EQ(differences, 1) << garbled;
  }
}

TEST(FaultInjector, SplitKeepsEveryByteInOrder) {
  for (uint32_t seed = 0; seed < 200; ++seed) {
    FaultPlan plan = only("split");
    plan.seed = seed;
    const std::vector<Chunk> chunks = FaultInjector(plan).deliver(kReply);
    ASSERT_GE(chunks.size(), 2u);
    ASSERT_LE(chunks.size(), 3u);
    for (const Chunk& chunk : chunks) EXPECT_FALSE(chunk.bytes.empty());
    EXPECT_EQ(joined(chunks), kReply);
    EXPECT_EQ(chunks[1].pauseBefore, plan.splitPause);
  }
}

TEST(FaultInjector, SameSeedSameRun) {
  FaultPlan plan;
  for (const char* setting : {"drop:0.3", "garble:0.3", "split:0.5", "wrong-value:0.2"}) {
    ASSERT_TRUE(addFault(plan, setting));
  }
  plan.seed = 42;
  FaultInjector first(plan), second(plan);
  int dropped = 0;
  for (int i = 0; i < 500; ++i) {
    const std::vector<Chunk> a = first.deliver(kReply);
    const std::vector<Chunk> b = second.deliver(kReply);
    ASSERT_EQ(a.size(), b.size());
    EXPECT_EQ(joined(a), joined(b));
    dropped += a.empty() ? 1 : 0;
  }
  // About 30 % of 500 are dropped; a generator that never or always struck would fail here.
  EXPECT_GT(dropped, 100);
  EXPECT_LT(dropped, 200);
}

TEST(FaultInjector, SettingsAreParsed) {
  FaultPlan plan;
  EXPECT_TRUE(addFault(plan, "drop"));
  EXPECT_EQ(plan.probability[static_cast<size_t>(Fault::kDrop)], 1.0);
  EXPECT_TRUE(addFault(plan, "split:0.25"));
  EXPECT_EQ(plan.probability[static_cast<size_t>(Fault::kSplit)], 0.25);
  for (const char* bad : {"", "explode", "drop:", "drop:1.5", "drop:-0.1", "drop:x", "drop:nan",
                          "drop:0.5x", ":0.5"}) {
    EXPECT_FALSE(addFault(plan, bad)) << bad;
  }
  for (size_t i = 0; i < kFaultCount; ++i) {
    const Fault fault = static_cast<Fault>(i);
    EXPECT_EQ(faultNamed(faultName(fault)), fault);
  }
}

}  // namespace
}  // namespace zephlor::sim
