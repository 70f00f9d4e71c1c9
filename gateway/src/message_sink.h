// Where the gateway's messages go: the MQTT broker, or standard output with --dry-run.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace zephlor::gateway {

struct LinkFigures {
  bool connected = false;
  bool subscribed = false;  // the broker took the subscription to the set topics
  size_t waiting = 0;       // messages in the outbox
  long long coalesced = 0;  // waiting values a newer one replaced
  long long dropped = 0;    // write results dropped beyond the outbox's bound
};

class MessageSink {
 public:
  // How a message that waits for the broker is kept. A value, a status or the metrics is state:
  // only the latest of its topic matters, and a newer one replaces it. A write's result is owed
  // to whoever asked: each one is kept until the broker has it.
  enum class Keep { kLatest, kEach };

  virtual ~MessageSink() = default;
  // Publishes `payload` on `topic` at QoS 1. A retained message is the topic's latest: after an
  // outage of the broker, the latest of each such topic is published again, never a backlog.
  virtual void publish(const std::string& topic, const std::string& payload, bool retained,
                       Keep keep) = 0;

  // Called by a line before each poll: waits, up to `most`, while more waits for the broker than
  // it takes in a moment. A poll whose value could only replace one still waiting is work for
  // nothing, and the machine's time is better spent getting the waiting ones out.
  virtual void awaitRoom(std::chrono::milliseconds most) { (void)most; }

  // The broker connection's figures, from any thread; none when there is no broker.
  virtual std::optional<LinkFigures> linkFigures() const { return std::nullopt; }
};

}  // namespace zephlor::gateway
