#include "board.h"

#include <algorithm>

namespace zephlor::gateway {
namespace {

using Clock = std::chrono::steady_clock;

ItemView viewOf(const ItemConfig& config) {
  const facts::ItemKindInfo& kind = *config.item.kind;
  ItemView view;
  view.name = config.name;
  view.kind = kind.name;
  view.item = config.item.describe();
  view.writable = config.writable;
  view.isSwitch = kind.kind == ItemKind::Switch || kind.kind == ItemKind::LedState;
  if (config.writable) view.bounds = facts::valueBounds(kind);
  view.unit = config.unit;
  view.label = config.label;
  return view;
}

LineView viewOf(const LineConfig& config) {
  LineView view;
  view.name = config.name;
  view.device = config.device;
  view.config = config;
  for (const ItemConfig& item : config.items) view.items.push_back(viewOf(item));
  return view;
}

Json ageOf(const ItemView& item, Clock::time_point now) {
  return item.goodAt ? Json(std::chrono::duration<double>(now - *item.goodAt).count()) : Json();
}

Json itemJson(const ItemView& item, Clock::time_point now) {
  Json json = {{"name", item.name},         {"label", item.label.empty() ? item.name : item.label},
               {"item", item.item},         {"unit", item.unit},
               {"writable", item.writable}, {"switch", item.isSwitch},
               {"value", item.value},       {"quality", item.quality},
               {"trend", item.trend},       {"write", item.lastWrite}};
  if (item.goodAt) {
    json["age"] = std::chrono::duration<double>(now - *item.goodAt).count();
  }
  if (item.bounds) json["bounds"] = {item.bounds->least, item.bounds->most};
  return json;
}

Json lineJson(const LineView& line, Clock::time_point now) {
  Json items = Json::array();
  for (const ItemView& item : line.items) items.push_back(itemJson(item, now));
  return {{"name", line.name},     {"device", line.device}, {"up", line.up},
          {"reason", line.reason}, {"since", line.since},   {"items", items}};
}

// The words of a write's result as the page shows them beside the item.
std::string writeWords(std::optional<int64_t> sent, bool confirmed, const std::string& error) {
  if (confirmed) return "wrote " + std::to_string(sent.value_or(0)) + ", confirmed";
  return "not confirmed: " + error;
}

}  // namespace

void Board::setLines(const std::vector<LineConfig>& configs) {
  const std::lock_guard<std::mutex> hold(mutex_);
  std::vector<LineView> lines;
  for (const LineConfig& config : configs) {
    const auto same = std::find_if(lines_.begin(), lines_.end(),
                                   [&](const LineView& line) { return line.config == config; });
    lines.push_back(same != lines_.end() ? std::move(*same) : viewOf(config));
  }
  lines_.swap(lines);
  byName_.clear();
  for (size_t index = 0; index < lines_.size(); ++index) byName_[lines_[index].name] = index;
  events_.clear();
  epoch_ = ++sequence_;
  changed_.notify_all();
}

LineView* Board::line(const std::string& name) {
  const auto found = byName_.find(name);
  return found == byName_.end() ? nullptr : &lines_[found->second];
}

void Board::event(Json event) {
  events_.push_back(compact(event));
  if (events_.size() > kEventsKept) events_.pop_front();
  ++sequence_;
  changed_.notify_all();
}

void Board::lineStatus(const std::string& name, bool up, const std::string& reason,
                       const std::string& time) {
  const std::lock_guard<std::mutex> hold(mutex_);
  LineView* view = line(name);
  if (view == nullptr) return;
  view->up = up;
  view->reason = reason;
  view->since = time;
  event({{"type", "line"}, {"line", name}, {"up", up}, {"reason", reason}, {"since", time}});
}

void Board::transaction(const std::string& name, facts::TransactionOutcome verdict,
                        std::optional<std::chrono::microseconds> replyTime) {
  const std::lock_guard<std::mutex> hold(mutex_);
  LineView* view = line(name);
  if (view == nullptr) return;
  ++view->byVerdict[static_cast<size_t>(verdict)];
  if (!replyTime) return;
  const double seconds = std::chrono::duration<double>(*replyTime).count();
  const auto bucket = std::lower_bound(kReplyBuckets.begin(), kReplyBuckets.end(), seconds);
  if (bucket != kReplyBuckets.end()) {
    ++view->replyBuckets[static_cast<size_t>(bucket - kReplyBuckets.begin())];
  }
  ++view->replies;
  view->replySeconds += seconds;
}

void Board::sample(const std::string& name, size_t index, const Json& value,
                   const std::string& quality, bool published) {
  const std::lock_guard<std::mutex> hold(mutex_);
  LineView* view = line(name);
  if (view == nullptr || index >= view->items.size()) return;
  ItemView& item = view->items[index];
  const bool good = quality == kGoodQuality;
  if (good) item.goodAt = Clock::now();
  if (!published) return;
  ++counts_.valuesPublished;
  item.value = value;
  item.quality = quality;
  if (good && value.is_number()) {
    item.trend.push_back(value.get<double>());
    if (item.trend.size() > kTrendLength) item.trend.pop_front();
  }
  event({{"type", "item"},
         {"line", name},
         {"item", item.name},
         {"value", value},
         {"quality", quality}});
}

void Board::writeAnswered(const std::string& name, size_t index, const Json& id,
                          std::optional<int64_t> sent, bool confirmed, const std::string& error) {
  const std::lock_guard<std::mutex> hold(mutex_);
  ++(confirmed ? counts_.writesConfirmed : counts_.writesNotConfirmed);
  LineView* view = line(name);
  if (view == nullptr || index >= view->items.size()) return;
  ItemView& item = view->items[index];
  item.lastWrite = writeWords(sent, confirmed, error);
  event({{"type", "write"},
         {"line", name},
         {"item", item.name},
         {"id", id},
         {"confirmed", confirmed},
         {"words", item.lastWrite}});
}

void Board::writeRefused() {
  const std::lock_guard<std::mutex> hold(mutex_);
  ++counts_.writesRefused;
}

BoardState Board::state() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return {lines_, counts_};
}

std::string Board::stateJson() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  const Clock::time_point now = Clock::now();
  Json lines = Json::array();
  for (const LineView& line : lines_) lines.push_back(lineJson(line, now));
  return compact({{"type", "state"}, {"sequence", sequence_}, {"lines", lines}});
}

std::string Board::agesJson() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  const Clock::time_point now = Clock::now();
  Json lines = Json::object();
  for (const LineView& line : lines_) {
    Json& ages = lines[line.name] = Json::array();
    for (const ItemView& item : line.items) ages.push_back(ageOf(item, now));
  }
  return compact({{"type", "ages"}, {"lines", lines}});
}

Board::Events Board::eventsAfter(uint64_t cursor, std::chrono::milliseconds wait) const {
  std::unique_lock<std::mutex> hold(mutex_);
  changed_.wait_for(hold, wait, [&] { return sequence_ != cursor; });
  Events taken;
  taken.next = sequence_;
  const uint64_t oldest = sequence_ - events_.size();  // the sequence before the first kept
  if (cursor == 0 || cursor < epoch_ || cursor < oldest || cursor > sequence_) {
    taken.startAgain = true;
    hold.unlock();
    taken.events.push_back(stateJson());
    return taken;
  }
  taken.events.assign(events_.end() - static_cast<std::ptrdiff_t>(sequence_ - cursor),
                      events_.end());
  return taken;
}

}  // namespace zephlor::gateway
