// The gateway: a worker per line, the items' set topics routed to them, and the metrics.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "config.h"
#include "line_worker.h"
#include "message_sink.h"
#include "topic_names.h"

namespace zephlor::gateway {

class Gateway {
 public:
  Gateway(const GatewayConfig& config, const host::DriverEntryPoints& driver, MessageSink& sink);

  void start();
  void stop();

  // A message on an item's set topic, from any thread. A request that cannot be carried out (an
  // unknown or read-only item, a payload that is not a number, a value the item cannot carry, a
  // line that is down) is answered at once on its result topic and never reaches the line.
  void onSet(const std::string& topic, const std::string& payload);

  // Publishes every line's figures on the metrics topic.
  void publishMetrics();

 private:
  void refuse(const std::string& topic, const Json& id, const std::string& error);

  const Topics topics_;
  MessageSink& sink_;
  std::vector<std::unique_ptr<LineWorker>> lines_;
  std::map<std::string, size_t> lineIndex_;
};

// The topics a configuration uses, one a line with what each carries, for --check.
std::string describeTopics(const GatewayConfig& config);

}  // namespace zephlor::gateway
