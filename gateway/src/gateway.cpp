#include "gateway.h"

#include <algorithm>
#include <sstream>

#include "mqtt_link.h"
#include "payloads.h"
#include "tell.h"
#include "zephlor_text/timestamp.h"

namespace zephlor::gateway {
namespace {

double milliseconds(std::chrono::microseconds time) {
  return static_cast<double>(time.count()) / 1000.0;
}

}  // namespace

Gateway::Gateway(const GatewayConfig& config, const host::DriverEntryPoints& driver,
                 MessageSink& sink)
    : topics_{config.topicPrefix}, driver_(driver), sink_(sink) {
  board_.setLines(config.lines);
  for (const LineConfig& line : config.lines) {
    lines_.push_back(std::make_unique<LineWorker>(line, topics_, driver_, sink_, board_));
  }
}

Gateway::~Gateway() { stop(); }

void Gateway::start() {
  const std::lock_guard<std::mutex> hold(mutex_);
  for (auto& line : lines_) line->start();
  started_ = true;
}

void Gateway::stop() {
  std::vector<std::unique_ptr<LineWorker>> lines;
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    lines.swap(lines_);
  }
  for (auto& line : lines) line->requestStop("gateway stopped");
  for (auto& line : lines) line->join();
}

std::string Gateway::reload(const std::vector<LineConfig>& configs) {
  std::vector<std::pair<std::unique_ptr<LineWorker>, std::string>> leaving;  // and why
  std::vector<LineWorker*> arriving;
  std::string told;
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    std::vector<std::unique_ptr<LineWorker>> kept;
    for (const LineConfig& config : configs) {
      const auto same = std::find_if(lines_.begin(), lines_.end(), [&](const auto& line) {
        return line != nullptr && line->config() == config;
      });
      if (same != lines_.end()) {
        kept.push_back(std::move(*same));
        continue;
      }
      const bool known = std::any_of(lines_.begin(), lines_.end(), [&](const auto& line) {
        return line != nullptr && line->config().name == config.name;
      });
      told += std::string(told.empty() ? "" : ", ") + (known ? "changed " : "added ") + config.name;
      kept.push_back(std::make_unique<LineWorker>(config, topics_, driver_, sink_, board_));
      arriving.push_back(kept.back().get());
    }
    for (auto& line : lines_) {
      if (line == nullptr) continue;
      const bool renewed = std::any_of(configs.begin(), configs.end(), [&](const LineConfig& c) {
        return c.name == line->config().name;
      });
      if (!renewed)
        told += std::string(told.empty() ? "" : ", ") + "removed " + line->config().name;
      leaving.emplace_back(std::move(line), renewed ? "its configuration changed"
                                                    : "removed from the configuration");
    }
    lines_.swap(kept);
  }
  // The old workers end before the new ones start, so a line that changed is never driven twice.
  for (auto& [line, why] : leaving) line->requestStop(why);
  for (auto& [line, why] : leaving) line->join();
  leaving.clear();
  board_.setLines(configs);
  if (started_) {
    for (LineWorker* line : arriving) line->start();
  }
  return told.empty() ? "no line changed" : told;
}

void Gateway::refuse(const std::string& topic, const Json& id, const std::string& error) {
  board_.writeRefused();
  sink_.publish(topic + "/result", setResultPayload(id, std::nullopt, false, error), false,
                MessageSink::Keep::kEach);
}

void Gateway::onMessage(const std::string& topic, const std::string& payload, bool retained) {
  std::string lineName;
  std::string itemName;
  if (topics_.parse(topic, TopicKind::kGet, lineName, itemName)) return onGet(topic, retained);
  onSet(topic, payload, retained);
}

void Gateway::onGet(const std::string& topic, bool retained) {
  std::string lineName;
  std::string itemName;
  if (retained || !topics_.parse(topic, TopicKind::kGet, lineName, itemName)) return;
  const std::lock_guard<std::mutex> hold(mutex_);
  for (const auto& line : lines_) {
    if (line->config().name != lineName) continue;
    const std::vector<ItemConfig>& items = line->config().items;
    for (size_t index = 0; index < items.size(); ++index) {
      if (items[index].name == itemName) line->readNow(index);
    }
  }
}

void Gateway::onSet(const std::string& topic, const std::string& payload, bool retained) {
  std::string lineName;
  std::string itemName;
  if (!topics_.parseSet(topic, lineName, itemName)) return;
  SetRequest request;
  std::string error;
  const bool readable = parseSetRequest(payload, request, error);
  if (retained) {
    if (payload.empty()) return;  // a retained message being cleared
    bool firstTime = false;
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      firstTime = retainedTold_.insert(topic).second;
    }
    if (firstTime) {
      tell(Priority::kError,
           "a retained message on " + topic +
               " was not carried out; publish writes without the retain flag, and clear it with an "
               "empty retained message");
    }
    return refuse(topic, request.id,
                  "retained messages are not carried out: the broker would hand this one to the "
                  "gateway again at every start; publish writes without the retain flag");
  }
  const std::string refusal = queueWrite(lineName, itemName, readable ? &request : nullptr, error);
  if (!refusal.empty()) refuse(topic, request.id, refusal);
}

std::string Gateway::queueWrite(const std::string& lineName, const std::string& itemName,
                                const SetRequest* request, const std::string& unreadable) {
  const std::lock_guard<std::mutex> hold(mutex_);
  const auto line = std::find_if(lines_.begin(), lines_.end(),
                                 [&](const auto& l) { return l->config().name == lineName; });
  if (line == lines_.end()) return "no line " + lineName;
  const std::vector<ItemConfig>& items = (*line)->config().items;
  const auto found = std::find_if(items.begin(), items.end(),
                                  [&](const ItemConfig& item) { return item.name == itemName; });
  if (found == items.end()) return "no item " + itemName + " on line " + lineName;
  if (!found->writable) return "item " + itemName + " is not writable";
  if (request == nullptr) return unreadable;
  const std::string problem = facts::valueProblem(*found->item.kind, request->value);
  if (!problem.empty()) return problem;
  std::string error;
  const auto index = static_cast<size_t>(found - items.begin());
  if (!(*line)->queueWrite({index, request->value, request->id}, error)) return error;
  return "";
}

void Gateway::publishMetrics() {
  const std::optional<LinkFigures> link = sink_.linkFigures();
  Json lines = Json::object();
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    for (auto& line : lines_) {
      const LineFigures figures = line->takeFigures();
      // A line with no reply since the last look has no reply times to give: null, never 0.
      const bool timed = figures.replyTimes.count() != 0;
      lines[line->config().name] = {
          {"state", figures.up ? "up" : "down"},
          {"transactions", figures.transactions},
          {"failures", figures.failures},
          {"reply-ms",
           {{"median", timed ? Json(milliseconds(figures.replyTimes.median())) : Json()},
            {"p99", timed ? Json(milliseconds(figures.replyTimes.quantile(0.99))) : Json()},
            {"count", figures.replyTimes.count()}}},
          {"write-queue", figures.writeQueue}};
    }
  }
  Json metrics{{"time", text::timestampNow()}, {"lines", lines}};
  if (link) {
    metrics["broker"] = {{"connected", link->connected},
                         {"subscribed", link->subscribed},
                         {"waiting", link->waiting},
                         {"coalesced", link->coalesced},
                         {"results-dropped", link->dropped}};
  }
  sink_.publish(topics_.metrics(), compact(metrics), false, MessageSink::Keep::kLatest);
}

}  // namespace zephlor::gateway
