// A line worker on the built-in simulator (9600 baud: some 30 ms a transaction), its messages
// caught in process: on a line kept busy by polls, a write goes next once the transaction in
// progress is done, and earliest-deadline polling serves every item in turn; on a line flooded
// with writes, the polls keep their share and the writes to one item coalesce.
#include <gtest/gtest.h>

#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

#include "line_worker.h"
#include "zephlor_host/driver_module.h"

namespace zephlor::gateway {
namespace {

class RecordingSink : public MessageSink {
 public:
  struct Message {
    std::string topic;
    std::string payload;
  };

  void publish(const std::string& topic, const std::string& payload, bool, Keep) override {
    const std::lock_guard<std::mutex> hold(mutex_);
    messages_.push_back({topic, payload});
    arrived_.notify_all();
  }

  size_t size() {
    const std::lock_guard<std::mutex> hold(mutex_);
    return messages_.size();
  }

  // The messages once `enough` says they are, or after 10 s whatever there is.
  std::vector<Message> await(const std::function<bool(const std::vector<Message>&)>& enough) {
    std::unique_lock<std::mutex> hold(mutex_);
    arrived_.wait_for(hold, std::chrono::seconds(10), [&] { return enough(messages_); });
    return messages_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<Message> messages_;
};

size_t countOn(const std::vector<RecordingSink::Message>& messages, const std::string& topic) {
  return static_cast<size_t>(
      std::count_if(messages.begin(), messages.end(),
                    [&](const auto& message) { return message.topic == topic; }));
}

class LineWorkerTest : public testing::Test {
 protected:
  void SetUp() override {
    std::string error;
    ASSERT_TRUE(driver_.load(OSTERFELL_PLUGIN_PATH, error)) << error;
    line_.name = "l";
    line_.device = LineConfig::kSimulatedDevice;
    // Eight items due every 10 ms: far more than the line carries, so it is never idle.
    for (int i = 0; i < 8; ++i) {
      ItemConfig item;
      item.name = "i" + std::to_string(i);
      item.item.kind = facts::itemKindNamed("station-level");
      item.item.addresses = {1, 2, static_cast<unsigned char>(i), 0};
      item.every = Milliseconds(10);
      item.writable = true;
      item.publish = PublishMode::kEveryPoll;
      line_.items.push_back(item);
    }
  }

  host::DriverModule driver_;
  LineConfig line_;
  const Topics topics_{"p"};
  RecordingSink sink_;
  Board board_;
};

TEST_F(LineWorkerTest, AWriteGoesAheadOfThePolls) {
  LineWorker worker(line_, topics_, driver_.entryPoints(), sink_, board_);
  worker.start();
  sink_.await([](const auto& m) { return m.size() >= 12; });
  std::string error;
  ASSERT_TRUE(worker.queueWrite({5, 42, Json("w")}, error)) << error;
  const size_t before = sink_.size();
  const std::string result = topics_.setResult("l", "i5");
  const auto messages = sink_.await([&](const auto& m) { return countOn(m, result) == 1; });
  worker.stop();
  size_t at = before;
  while (at < messages.size() && messages[at].topic != result) ++at;
  ASSERT_LT(at, messages.size()) << "no result";
  EXPECT_EQ(messages[at].payload, R"({"id":"w","sent":42,"confirmed":true})");
  // Only the poll in progress when the write was queued may come before it.
  EXPECT_LE(at - before, 1u);
}

// An item read on request is published at once, though its value did not change and its next
// poll and heartbeat are a day away.
TEST_F(LineWorkerTest, AReadAskedForIsPublishedChangedOrNot) {
  line_.items.resize(1);
  line_.items[0].every = Milliseconds(86400000);
  line_.items[0].publish = PublishMode::kOnChange;
  line_.items[0].heartbeat = Milliseconds(86400000);
  const std::string topic = topics_.item("l", "i0");
  LineWorker worker(line_, topics_, driver_.entryPoints(), sink_, board_);
  worker.start();
  sink_.await([&](const auto& m) { return countOn(m, topic) == 1; });
  worker.readNow(0);
  const auto messages = sink_.await([&](const auto& m) { return countOn(m, topic) == 2; });
  worker.stop();
  EXPECT_EQ(countOn(messages, topic), 2u);
}

TEST_F(LineWorkerTest, EarliestDeadlineServesEveryItemInTurn) {
  LineWorker worker(line_, topics_, driver_.entryPoints(), sink_, board_);
  worker.start();
  const auto messages = sink_.await([](const auto& m) { return m.size() >= 1 + 8 * 4; });
  worker.stop();
  for (const ItemConfig& item : line_.items) {
    EXPECT_GE(countOn(messages, topics_.item("l", item.name)), 4u) << item.name;
  }
}

// 64 items every 10 ms on a line that carries some 30 transactions a second: each waits some 2 s
// for its turn, far beyond three of its periods and the line's timeout.
TEST_F(LineWorkerTest, ItemsTheLineCannotKeepUpWithAreOverdue) {
  line_.items.resize(1);
  line_.timeout = Milliseconds(100);
  for (unsigned char i = 1; i < 64; ++i) {
    ItemConfig item = line_.items.front();
    item.name = "more-" + std::to_string(i);
    item.item.addresses = {9, 9, i, 0};
    item.publish = PublishMode::kOnChange;
    line_.items.push_back(item);
  }
  LineWorker worker(line_, topics_, driver_.entryPoints(), sink_, board_);
  worker.start();
  const auto messages = sink_.await([](const auto& m) {
    return std::any_of(m.begin(), m.end(), [](const auto& message) {
      return message.payload.find("\"quality\":\"overdue\"") != std::string::npos;
    });
  });
  worker.stop();
  EXPECT_TRUE(std::any_of(messages.begin(), messages.end(), [](const auto& message) {
    return message.payload.find("\"quality\":\"overdue\"") != std::string::npos;
  }));
}

TEST_F(LineWorkerTest, AFloodOfWritesLeavesThePollsTheirShare) {
  LineConfig line;
  line.name = "l";
  line.device = LineConfig::kSimulatedDevice;
  ItemConfig watched;
  watched.name = "watched";
  watched.item = {facts::itemKindNamed("led"), {1, 2, 3, 0}};
  watched.every = Milliseconds(50);
  watched.publish = PublishMode::kEveryPoll;
  ItemConfig written = watched;
  written.name = "written";
  written.item = {facts::itemKindNamed("station-level"), {1, 2, 3, 0}};
  written.every = Milliseconds(60000);
  written.writable = true;
  line.items = {watched, written};
  LineWorker worker(line, topics_, driver_.entryPoints(), sink_, board_);
  worker.start();
  const std::string watchedTopic = topics_.item("l", "watched");
  const std::string results = topics_.setResult("l", "written");
  sink_.await([&](const auto& m) { return countOn(m, watchedTopic) >= 1; });
  // Far more writes than the line carries, until 30 of them went on the line.
  const auto confirmed = [&](const std::vector<RecordingSink::Message>& messages) {
    return std::count_if(messages.begin(), messages.end(), [&](const auto& message) {
      return message.topic == results &&
             message.payload.find("\"confirmed\":true") != std::string::npos;
    });
  };
  const size_t before = countOn(sink_.await([](const auto&) { return true; }), watchedTopic);
  std::string error;
  for (int value = 0; confirmed(sink_.await([](const auto&) { return true; })) < 30; ++value) {
    ASSERT_TRUE(worker.queueWrite({1, static_cast<double>(value % 256), Json(value)}, error))
        << error;
    std::this_thread::yield();
  }
  worker.stop();
  const auto messages = sink_.await([](const auto&) { return true; });
  EXPECT_GE(countOn(messages, watchedTopic) - before, 10u)
      << "polls and writes take turns: some 30 polls beside 30 writes";
  const auto superseded = std::count_if(messages.begin(), messages.end(), [&](const auto& m) {
    return m.topic == results && m.payload.find("superseded") != std::string::npos;
  });
  EXPECT_GT(superseded, 0) << "a newer write takes a waiting one's place, which is answered";
}

}  // namespace
}  // namespace zephlor::gateway
