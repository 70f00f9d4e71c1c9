#include "outbox.h"

#include <algorithm>

namespace zephlor::gateway {

void Outbox::putState(Message message, bool first) {
  const auto waiting = stateByTopic_.find(message.topic);
  if (waiting != stateByTopic_.end()) {
    ++coalesced_;
    if (!first) {
      waiting->second->message = std::move(message);
      return;
    }
    queue_.erase(waiting->second);
    stateByTopic_.erase(waiting);
  }
  const std::string topic = message.topic;
  const auto at = first ? queue_.begin() : queue_.end();
  stateByTopic_[topic] = queue_.insert(at, Entry{std::move(message), true});
}

void Outbox::putLatest(Message message) { putState(std::move(message), false); }

void Outbox::putFirst(Message message) { putState(std::move(message), true); }

void Outbox::putEach(Message message) {
  if (eventCapacity_ == 0) return;
  if (events_ >= eventCapacity_) {
    const auto oldest = std::find_if(queue_.begin(), queue_.end(),
                                     [](const Entry& entry) { return !entry.latest; });
    queue_.erase(oldest);
    --events_;
    ++dropped_;
  }
  queue_.push_back(Entry{std::move(message), false});
  ++events_;
}

std::optional<Outbox::Message> Outbox::take() {
  if (queue_.empty()) return std::nullopt;
  Entry entry = std::move(queue_.front());
  queue_.pop_front();
  if (entry.latest) {
    stateByTopic_.erase(entry.message.topic);
  } else {
    --events_;
  }
  return std::move(entry.message);
}

}  // namespace zephlor::gateway
