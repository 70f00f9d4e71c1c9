// The gateway's one connection to its broker, through libmosquitto (MQTT 5): connected on a
// thread of its own and reconnected after any outage, with "offline" as its last will. What is
// published goes through an outbox (the latest of each state topic, each write's result) that
// one sender drains while the broker keeps up: at most a window of messages is ever with the
// library, so a slow broker link holds memory to the number of topics and delivers the newest
// values. The latest message of every retained topic is kept and published again whenever the
// connection comes back, after whatever the library itself sends again, so that the last
// message on every topic is the latest. Messages larger than the gateway ever takes are not
// sent to it at all (the connection's maximum packet size). Connections made and lost are told
// on standard error.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "config.h"
#include "message_sink.h"
#include "outgoing.h"
#include "topic_names.h"
#include "zephlor_facts/exit_codes.h"

struct mosquitto;
struct mosquitto_message;
struct mqtt5__property;

namespace zephlor::gateway {

// What the broker connection has done, for the metrics.

class MqttLink : public MessageSink {
 public:
  // Called on libmosquitto's thread for each message on an item's set topic; `retained` when the
  // broker kept it and delivers it only because the gateway subscribed.
  using SetHandler =
      std::function<void(const std::string& topic, const std::string& payload, bool retained)>;

  MqttLink(const Topics& topics, SetHandler onSet);
  ~MqttLink() override;
  MqttLink(const MqttLink&) = delete;
  MqttLink& operator=(const MqttLink&) = delete;

  // Sets up the client (credentials, TLS, the last will) and starts connecting. On failure says
  // why and returns the exit status to end with.
  ExitCode start(const BrokerConfig& broker, const std::string& password, std::string& error);

  void publish(const std::string& topic, const std::string& payload, bool retained,
               Keep keep) override;
  void awaitRoom(std::chrono::milliseconds most) override { outgoing_.awaitRoom(most); }

  // Why the broker refused the first connection (bad credentials, a client id it does not take,
  // a certificate that does not fit), for a person; empty while it has not. A refusal after the
  // gateway was once accepted is waited out.
  std::string refusal() const;

  LinkFigures figures() const;
  std::optional<LinkFigures> linkFigures() const override { return figures(); }

  // Gives what waits up to `grace` to reach the broker, publishes "offline", waits for the
  // broker to take it (within the same grace), and disconnects.
  void stop(std::chrono::milliseconds grace);

 private:
  static void onConnect(mosquitto* client, void* self, int code, int flags,
                        const mqtt5__property* properties);
  static void onDisconnect(mosquitto* client, void* self, int code,
                           const mqtt5__property* properties);
  static void onSubscribe(mosquitto* client, void* self, int messageId, int count,
                          const int* granted);
  static void onPublish(mosquitto* client, void* self, int messageId);
  static void onMessage(mosquitto* client, void* self, const mosquitto_message* message);
  static void onLog(mosquitto* client, void* self, int level, const char* text);
  void connectAndServe();
  bool firstConnection();
  void sendWaiting();
  std::string lastError() const;

  Topics topics_;
  SetHandler onSet_;
  std::string host_;
  int port_ = 0;
  std::string broker_;  // HOST:PORT, for messages
  mosquitto* client_ = nullptr;
  std::thread network_;
  std::thread sender_;
  Outgoing outgoing_;
  std::atomic<int> inFlight_{0};  // sent and not yet acknowledged
  std::atomic<bool> senderStop_{false};
  mutable std::mutex mutex_;  // guards what follows
  std::condition_variable changed_;
  bool connected_ = false;
  bool subscribed_ = false;
  std::chrono::steady_clock::time_point connectedAt_;
  int shortConnections_ = 0;  // in a row, each ended by the broker soon after it began
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
