// The gateway's one connection to its broker, through libmosquitto: connected in the background
// on a thread of its own and reconnected after any outage, with "offline" as its last will. It
// keeps the latest message of every retained topic, bounded by the number of topics, and
// publishes those again whenever the connection comes back; what would be published while the
// broker is away is only kept, never queued. Connections made and lost are told on standard
// error.
#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

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

  // Why the broker refused the first connection (bad credentials, a client id it does not take,
  // a certificate that the TLS authority did not sign), for a person; empty while it has not. A
  // refusal after the gateway was once accepted is waited out.
  std::string refusal() const;

  // Publishes "offline", waits up to `grace` for the broker to take it, and disconnects.
  void stop(std::chrono::milliseconds grace);

 private:
  static void onConnect(mosquitto* client, void* self, int code);
  static void onDisconnect(mosquitto* client, void* self, int code);
  static void onPublish(mosquitto* client, void* self, int messageId);
  static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
  static void onLog(mosquitto* client, void* self, int level, const char* text);
  void serve();
  void send(const std::string& topic, const std::string& payload, bool retained, int* messageId);
  std::string lastError() const;

  Topics topics_;
  SetHandler onSet_;
  std::string broker_;  // HOST:PORT, for messages
  mosquitto* client_ = nullptr;
  std::thread network_;
  mutable std::mutex mutex_;
  std::condition_variable acknowledged_;
  std::map<std::string, std::string> latest_;  // of every retained topic
  bool connected_ = false;
  bool everConnected_ = false;
  bool stopping_ = false;
  bool networkEnded_ = false;
  bool networkLeftRunning_ = false;  // by stop(), on an attempt to connect that does not end
  std::string refusal_;
  // The library's last error message, under a lock of its own: the library may log from within
  // a call made while mutex_ is held.
  mutable std::mutex errorMutex_;
  std::string lastError_;
  int offlineMessage_ = -1;
  bool offlineTaken_ = false;
};

}  // namespace zephlor::gateway
