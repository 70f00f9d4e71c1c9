#include "outgoing.h"

#include <functional>

namespace zephlor::gateway {
namespace {

// Lines poll freely while fewer than this wait, and wait for room above it, until the sender has
// brought it down to the low-water mark.
constexpr size_t kHighWater = 1000;
constexpr size_t kLowWater = 500;

}  // namespace

Outgoing::Outgoing(size_t resultsKept) {
  for (Shard& shard : shards_) shard.outbox = Outbox(resultsKept / kShards + 1);
}

Outgoing::Shard& Outgoing::shardOf(const std::string& topic) {
  return shards_[std::hash<std::string>{}(topic) % kShards];
}

void Outgoing::put(const std::string& topic, const std::string& payload, bool retained,
                   MessageSink::Keep keep) {
  {
    Shard& shard = shardOf(topic);
    const std::lock_guard<std::mutex> hold(shard.mutex);
    if (retained) shard.latest[topic] = payload;
    const size_t before = shard.outbox.size();
    if (keep == MessageSink::Keep::kEach) {
      shard.outbox.putEach({topic, payload, retained});
    } else if (whole_.load()) {
      shard.outbox.putLatest({topic, payload, retained});
    } else {
      return;
    }
    count_ += shard.outbox.size() - before;
  }
  wake();
}

void Outgoing::connectionWhole(const Outbox::Message& first) {
  {
    const std::lock_guard<std::mutex> hold(firstMutex_);
    first_.push_back(first);
  }
  if (first.retained) {
    Shard& shard = shardOf(first.topic);
    const std::lock_guard<std::mutex> hold(shard.mutex);
    shard.latest[first.topic] = first.payload;
  }
  for (Shard& shard : shards_) {
    const std::lock_guard<std::mutex> hold(shard.mutex);
    const size_t before = shard.outbox.size();
    for (const auto& [topic, payload] : shard.latest) {
      if (topic != first.topic) shard.outbox.putLatest({topic, payload, true});
    }
    count_ += shard.outbox.size() - before;
  }
  whole_.store(true);
  wake();
}

void Outgoing::connectionBroken() { whole_.store(false); }

void Outgoing::wake() {
  if (wakeAsked_.exchange(true)) return;
  const std::lock_guard<std::mutex> hold(wakeMutex_);
  woken_.notify_all();
}

void Outgoing::waitForWork(std::chrono::milliseconds wait) {
  std::unique_lock<std::mutex> hold(wakeMutex_);
  woken_.wait_for(hold, wait, [this] { return wakeAsked_.load(); });
  wakeAsked_.store(false);
}

std::vector<Outbox::Message> Outgoing::take(size_t most) {
  std::vector<Outbox::Message> taken;
  {
    const std::lock_guard<std::mutex> hold(firstMutex_);
    for (Outbox::Message& message : first_) taken.push_back(std::move(message));
    first_.clear();
  }
  for (size_t visited = 0; visited < kShards && taken.size() < most; ++visited) {
    Shard& shard = shards_[nextShard_];
    nextShard_ = (nextShard_ + 1) % kShards;
    const std::lock_guard<std::mutex> hold(shard.mutex);
    while (taken.size() < most) {
      std::optional<Outbox::Message> message = shard.outbox.take();
      if (!message) break;
      --count_;
      taken.push_back(std::move(*message));
    }
  }
  if (count_.load() <= kLowWater) {
    const std::lock_guard<std::mutex> hold(roomMutex_);
    room_.notify_all();
  }
  return taken;
}

void Outgoing::awaitRoom(std::chrono::milliseconds most) {
  if (count_.load() <= kHighWater || !whole_.load()) return;
  std::unique_lock<std::mutex> hold(roomMutex_);
  room_.wait_for(hold, most, [this] { return count_.load() <= kLowWater || !whole_.load(); });
}

void Outgoing::putBack(Outbox::Message message) {
  Shard& shard = shardOf(message.topic);
  const std::lock_guard<std::mutex> hold(shard.mutex);
  const size_t before = shard.outbox.size();
  shard.outbox.putEach(std::move(message));
  count_ += shard.outbox.size() - before;
}

template <typename Count>
long long Outgoing::sum(Count count) const {
  long long total = 0;
  for (const Shard& shard : shards_) {
    const std::lock_guard<std::mutex> hold(shard.mutex);
    total += static_cast<long long>(count(shard.outbox));
  }
  return total;
}

size_t Outgoing::waiting() const {
  return static_cast<size_t>(sum([](const Outbox& outbox) { return outbox.size(); }));
}

long long Outgoing::coalesced() const {
  return sum([](const Outbox& outbox) { return outbox.coalesced(); });
}

long long Outgoing::dropped() const {
  return sum([](const Outbox& outbox) { return outbox.dropped(); });
}

}  // namespace zephlor::gateway
