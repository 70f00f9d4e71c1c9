// What waits to go to the broker, bounded however slow the broker is. State (values, statuses,
// metrics) is kept as the latest payload of each topic: a newer one takes the place of the one
// still waiting, so what the broker gets is the newest and what waits is bounded by the number
// of topics. Events (a write's result, owed to whoever asked) are kept each, in order, up to a
// number beyond which the oldest is dropped and counted.
#pragma once

#include <cstddef>
#include <list>
#include <optional>
#include <string>
#include <unordered_map>

namespace zephlor::gateway {

class Outbox {
 public:
  struct Message {
    std::string topic;
    std::string payload;
    bool retained = false;
  };

  explicit Outbox(size_t eventCapacity) : eventCapacity_(eventCapacity) {}

  // State: replaces what waits on the same topic, in its place; or waits last.
  void putLatest(Message message);
  // State that must go before all that waits (the gateway's own "online").
  void putFirst(Message message);
  // An event: waits last; beyond the capacity the oldest event is dropped.
  void putEach(Message message);

  // The message that waited longest, if any.
  std::optional<Message> take();

  bool empty() const { return queue_.empty(); }
  size_t size() const { return queue_.size(); }
  // How many waiting values a newer one replaced, and how many events were dropped.
  long long coalesced() const { return coalesced_; }
  long long dropped() const { return dropped_; }

 private:
  struct Entry {
    Message message;
    bool latest = false;
  };
  using Queue = std::list<Entry>;

  void putState(Message message, bool first);

  size_t eventCapacity_;
  Queue queue_;
  std::unordered_map<std::string, Queue::iterator> stateByTopic_;
  size_t events_ = 0;
  long long coalesced_ = 0;
  long long dropped_ = 0;
};

}  // namespace zephlor::gateway
