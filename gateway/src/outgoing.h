// Everything that waits to go to the broker, shared by every line's thread and the one sender.
// It is split into shards by topic, each with a lock of its own, so hundreds of lines publishing
// at once seldom meet on a lock, and the sender is never starved of one. Each shard keeps an
// outbox (the latest of each state topic, each result) and the latest payload of each retained
// topic, which goes out again whenever the connection comes back.
#pragma once

#include <array>
#include <atomic>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "message_sink.h"
#include "outbox.h"

namespace zephlor::gateway {

class Outgoing {
 public:
  explicit Outgoing(size_t resultsKept);

  // From any thread. State waits only while the connection is whole; while it is not, a
  // retained topic's latest is kept for it, and anything else of state is dropped.
  void put(const std::string& topic, const std::string& payload, bool retained,
           MessageSink::Keep keep);

  // The connection is whole: `first` goes before all else, then the latest of every retained
  // topic. Not whole: state waits no more.
  void connectionWhole(const Outbox::Message& first);
  void connectionBroken();
  bool whole() const { return whole_.load(); }

  // Up to `most` waiting messages, taken a shard at a time in turn.
  std::vector<Outbox::Message> take(size_t most);
  // Waits up to `wait` for wake(), unless it was called since the last wait.
  void waitForWork(std::chrono::milliseconds wait);
  // A result that could not be sent, back to wait for the next connection.
  void putBack(Outbox::Message message);
  // Wakes a sender waiting in take().
  void wake();

  // Waits up to `most` while more than the high-water mark of messages wait.
  void awaitRoom(std::chrono::milliseconds most);

  size_t waiting() const;
  long long coalesced() const;
  long long dropped() const;

 private:
  static constexpr size_t kShards = 64;
  struct Shard {
    mutable std::mutex mutex;
    Outbox outbox{0};
    std::map<std::string, std::string> latest;  // of every retained topic
  };
  Shard& shardOf(const std::string& topic);
  // What `count` says of every shard's outbox, added up.
  template <typename Count>
  long long sum(Count count) const;

  std::array<Shard, kShards> shards_;
  std::atomic<bool> whole_{false};
  std::mutex firstMutex_;
  std::vector<Outbox::Message> first_;  // to go before the shards
  size_t nextShard_ = 0;                // the sender's turn
  // Messages waiting in all the shards, kept as they come and go, for awaitRoom.
  std::atomic<size_t> count_{0};
  std::mutex roomMutex_;
  std::condition_variable room_;
  std::atomic<bool> wakeAsked_{false};
  std::mutex wakeMutex_;
  std::condition_variable woken_;
};

}  // namespace zephlor::gateway
