#include "gateway.h"

#include <algorithm>
#include <sstream>

#include "payloads.h"
#include "shared_driver.h"
#include "zephlor_text/timestamp.h"

namespace zephlor::gateway {
namespace {

double milliseconds(std::chrono::microseconds time) {
  return static_cast<double>(time.count()) / 1000.0;
}

}  // namespace

Gateway::Gateway(const GatewayConfig& config, const host::DriverEntryPoints& driver,
                 MessageSink& sink)
    : topics_{config.topicPrefix}, sink_(sink) {
  const host::DriverEntryPoints& shared = serializedEntryPoints(driver);
  for (const LineConfig& line : config.lines) {
    lineIndex_[line.name] = lines_.size();
    lines_.push_back(std::make_unique<LineWorker>(line, topics_, shared, sink_));
  }
}

void Gateway::start() {
  for (auto& line : lines_) line->start();
}

void Gateway::stop() {
  for (auto& line : lines_) line->stop();
}

void Gateway::refuse(const std::string& topic, const Json& id, const std::string& error) {
  sink_.publish(topic + "/result", setResultPayload(id, std::nullopt, false, error), false);
}

void Gateway::onSet(const std::string& topic, const std::string& payload) {
  std::string lineName;
  std::string itemName;
  if (!topics_.parseSet(topic, lineName, itemName)) return;
  SetRequest request;
  std::string error;
  const bool readable = parseSetRequest(payload, request, error);
  const auto line = lineIndex_.find(lineName);
  if (line == lineIndex_.end()) return refuse(topic, request.id, "no line " + lineName);
  const std::vector<ItemConfig>& items = lines_[line->second]->config().items;
  const auto found = std::find_if(items.begin(), items.end(),
                                  [&](const ItemConfig& item) { return item.name == itemName; });
  if (found == items.end()) {
    return refuse(topic, request.id, "no item " + itemName + " on line " + lineName);
  }
  const ItemConfig& item = *found;
  const auto index = static_cast<size_t>(found - items.begin());
  if (!item.writable) {
    return refuse(topic, request.id, "item " + itemName + " is not writable");
  }
  if (!readable) return refuse(topic, request.id, error);
  const std::string problem = valueProblem(*item.item.kind, request.value);
  if (!problem.empty()) return refuse(topic, request.id, problem);
  if (!lines_[line->second]->queueWrite({index, request.value, request.id}, error)) {
    refuse(topic, request.id, error);
  }
}

void Gateway::publishMetrics() {
  Json lines = Json::object();
  for (auto& line : lines_) {
    const LineFigures figures = line->takeFigures();
    lines[line->config().name] = {{"state", figures.up ? "up" : "down"},
                                  {"transactions", figures.transactions},
                                  {"failures", figures.failures},
                                  {"reply-ms",
                                   {{"median", milliseconds(figures.replyTimes.median())},
                                    {"p99", milliseconds(figures.replyTimes.quantile(0.99))},
                                    {"count", figures.replyTimes.count()}}},
                                  {"write-queue", figures.writeQueue}};
  }
  sink_.publish(topics_.metrics(), compact(Json{{"time", text::timestampNow()}, {"lines", lines}}),
                false);
}

std::string describeTopics(const GatewayConfig& config) {
  const Topics topics{config.topicPrefix};
  std::ostringstream text;
  text << topics.gatewayStatus() << "  online, or offline as the last will (retained)\n";
  if (config.metricsEvery.count() != 0) {
    text << topics.metrics() << "  metrics every " << config.metricsEvery.count() << " ms\n";
  }
  for (const LineConfig& line : config.lines) {
    text << topics.lineStatus(line.name) << "  " << line.device << " up or down (retained)\n";
    for (const ItemConfig& item : line.items) {
      text << topics.item(line.name, item.name) << "  " << item.item.describe();
      if (item.every.count() != 0) {
        text << ", every " << item.every.count() << " ms, "
             << (item.publish == PublishMode::kEveryPoll
                     ? std::string("every poll")
                     : "on change or every " + std::to_string(item.heartbeat.count()) + " ms")
             << " (retained)";
      }
      text << "\n";
      if (item.writable) {
        text << topics.set(line.name, item.name) << "  writes taken\n";
        text << topics.setResult(line.name, item.name) << "  their results\n";
      }
    }
  }
  return text.str();
}

}  // namespace zephlor::gateway
