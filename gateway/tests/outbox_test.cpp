// What waits for the broker and for a line, bounded however fast messages and writes come: the
// outbox keeps the latest of each state topic in its place and each result up to its bound; the
// write queue keeps one write per item, the newer in the older's place.
#include <gtest/gtest.h>

#include "outbox.h"
#include "write_queue.h"

namespace zephlor::gateway {
namespace {

std::vector<std::string> drain(Outbox& outbox) {
  std::vector<std::string> sent;
  while (std::optional<Outbox::Message> message = outbox.take()) {
    sent.push_back(message->topic + "=" + message->payload);
  }
  return sent;
}

TEST(Outbox, KeepsTheLatestOfEachStateTopicInItsPlaceAndEveryResult) {
  const struct {
    const char* name;
    std::function<void(Outbox&)> put;
    std::vector<std::string> sent;
    long long coalesced;
    long long dropped;
  } cases[] = {
      {"a newer value takes the older's place",
       [](Outbox& o) {
         o.putLatest({"a", "1"});
         o.putLatest({"b", "1"});
         o.putLatest({"a", "2"});
       },
       {"a=2", "b=1"},
       1,
       0},
      {"results are each kept, in order",
       [](Outbox& o) {
         o.putEach({"r", "1"});
         o.putLatest({"a", "1"});
         o.putEach({"r", "2"});
       },
       {"r=1", "a=1", "r=2"},
       0,
       0},
      {"beyond the bound the oldest result goes",
       [](Outbox& o) {
         for (const char* id : {"1", "2", "3", "4"}) o.putEach({"r", id});
       },
       {"r=2", "r=3", "r=4"},
       0,
       1},
      {"online goes before all that waits",
       [](Outbox& o) {
         o.putLatest({"a", "1"});
         o.putLatest({"status", "offline"});
         o.putFirst({"status", "online"});
       },
       {"status=online", "a=1"},
       1,
       0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Outbox outbox(3);
    c.put(outbox);
    EXPECT_EQ(outbox.coalesced(), c.coalesced);
    EXPECT_EQ(outbox.dropped(), c.dropped);
    EXPECT_EQ(drain(outbox), c.sent);
    EXPECT_TRUE(outbox.empty());
  }
}

TEST(Outbox, HoldsOneMessagePerTopicHoweverManyValuesCome) {
  Outbox outbox(16);
  for (int i = 0; i < 100000; ++i) {
    outbox.putLatest({"line/item-" + std::to_string(i % 40), std::to_string(i)});
  }
  EXPECT_EQ(outbox.size(), 40u);
  EXPECT_EQ(outbox.take()->payload, "99960") << "the newest value of the first topic";
}

TEST(WriteQueue, KeepsOneWritePerItemTheNewestInTheOldestsPlace) {
  WriteQueue queue(2);
  std::optional<WriteRequest> replaced;
  EXPECT_EQ(queue.add({0, 1, Json("a")}, replaced), WriteQueue::Added::kQueued);
  EXPECT_EQ(queue.add({1, 2, Json("b")}, replaced), WriteQueue::Added::kQueued);
  EXPECT_EQ(queue.add({2, 3, Json("c")}, replaced), WriteQueue::Added::kFull);
  EXPECT_FALSE(replaced);
  EXPECT_EQ(queue.add({0, 4, Json("d")}, replaced), WriteQueue::Added::kReplaced);
  ASSERT_TRUE(replaced);
  EXPECT_EQ(replaced->id, Json("a"));
  const std::optional<WriteRequest> first = queue.take();
  ASSERT_TRUE(first);
  EXPECT_EQ(first->item, 0u);
  EXPECT_EQ(first->value, 4) << "the newer value, in the older write's turn";
  EXPECT_EQ(queue.takeAll().size(), 1u);
  EXPECT_TRUE(queue.empty());
}

}  // namespace
}  // namespace zephlor::gateway
