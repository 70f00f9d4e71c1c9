// What a line worker publishes: its line's status, its items' samples (on change, every poll or
// at the heartbeat, overdue when the line cannot keep up) and the results of writes.
#include "line_worker.h"
#include "tell.h"
#include "zephlor_text/timestamp.h"

namespace zephlor::gateway {

void LineWorker::publishStatus(bool up, const std::string& reason, Priority priority) {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    figures_.up = up;
  }
  statusPublished_ = true;
  tell(priority, "line " + config_.name + (up ? " up: " : " down: ") + reason);
  const std::string time = text::timestampNow();
  sink_.publish(topics_.lineStatus(config_.name), lineStatusPayload(up, reason, time), true,
                MessageSink::Keep::kLatest);
  board_.lineStatus(config_.name, up, reason, time);
}

void LineWorker::markOverdue(Clock::time_point now) {
  for (ItemState& item : items_) {
    const auto every = item.config->every;
    if (every.count() == 0 || item.publishedQuality == kOverdueQuality) continue;
    if (now - item.polled > kOverduePeriods * every + config_.timeout) {
      sample(item, kOverdueQuality);
    }
  }
}

void LineWorker::sample(ItemState& item, const std::string& quality) {
  const Clock::time_point now = Clock::now();
  const bool publish = item.config->publish == PublishMode::kEveryPoll || !item.everPublished ||
                       item.publishNext || item.value != item.publishedValue ||
                       quality != item.publishedQuality ||
                       now - item.publishedAt >= item.config->heartbeat;
  const auto index = static_cast<size_t>(&item - items_.data());
  board_.sample(config_.name, index, item.value, quality, publish);
  if (!publish) return;
  sink_.publish(topics_.item(config_.name, item.config->name),
                valuePayload(item.value, text::timestampNow(), quality), true,
                MessageSink::Keep::kLatest);
  item.everPublished = true;
  item.publishNext = false;
  item.publishedValue = item.value;
  item.publishedQuality = quality;
  item.publishedAt = now;
}

void LineWorker::answer(const WriteRequest& request, std::optional<int64_t> sent, bool confirmed,
                        const std::string& error) {
  sink_.publish(topics_.setResult(config_.name, items_[request.item].config->name),
                setResultPayload(request.id, sent, confirmed, error), false,
                MessageSink::Keep::kEach);
  board_.writeAnswered(config_.name, request.item, request.id, sent, confirmed, error);
}

}  // namespace zephlor::gateway
