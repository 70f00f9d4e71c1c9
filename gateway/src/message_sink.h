// Where the gateway's messages go: the MQTT broker, or standard output with --dry-run.
#pragma once

#include <string>

namespace zephlor::gateway {

class MessageSink {
 public:
  virtual ~MessageSink() = default;
  // Publishes `payload` on `topic` at QoS 1. A retained message is the topic's latest: after an
  // outage of the broker, the latest of each such topic is published again, never a backlog.
  virtual void publish(const std::string& topic, const std::string& payload, bool retained) = 0;
};

}  // namespace zephlor::gateway
