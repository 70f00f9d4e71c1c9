// The gateway's one connection to its broker, through libmosquitto: connected in the background
// and reconnected by the library after any outage, with "offline" as its last will. It keeps the
// latest message of every retained topic, bounded by the number of topics, and publishes those
// again whenever the connection comes back; what would be published while the broker is away is
// only kept, never queued.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>

#include "config.h"
#include "message_sink.h"
#include "topic_names.h"
#include "zephlor_text/exit_codes.h"

struct mosquitto;
struct mosquitto_message;

namespace zephlor::gateway {

class MqttLink : public MessageSink {
 public:
  // Called on libmosquitto's thread for each message on an item's set topic.
  using SetHandler = std::function<void(const std::string& topic, const std::string& payload)>;

  MqttLink(const Topics& topics, SetHandler onSet);
  ~MqttLink() override;
  MqttLink(const MqttLink&) = delete;
  MqttLink& operator=(const MqttLink&) = delete;

  // Sets up the client (credentials, TLS, the last will) and starts connecting. On failure says
  // why and returns the exit status to end with.
  ExitCode start(const BrokerConfig& broker, const std::string& password, std::string& error);

  void publish(const std::string& topic, const std::string& payload, bool retained) override;

  // Why the broker refused the first connection (bad credentials, a client id it does not take);
  // empty while it has not. A refusal after the gateway was once accepted is waited out.
  std::string refusal() const;

  // Publishes "offline", waits up to `grace` for the broker to take it, and disconnects.
  void stop(std::chrono::milliseconds grace);

 private:
  static void onConnect(mosquitto* client, void* self, int code);
  static void onDisconnect(mosquitto* client, void* self, int code);
  static void onPublish(mosquitto* client, void* self, int messageId);
  static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
  void send(const std::string& topic, const std::string& payload, bool retained, int* messageId);

  Topics topics_;
  SetHandler onSet_;
  mosquitto* client_ = nullptr;
  mutable std::mutex mutex_;
  std::condition_variable acknowledged_;
  std::map<std::string, std::string> latest_;  // of every retained topic
  bool connected_ = false;
  bool everConnected_ = false;
  bool started_ = false;
  std::string refusal_;
  int offlineMessage_ = -1;
  bool offlineTaken_ = false;
};

}  // namespace zephlor::gateway
