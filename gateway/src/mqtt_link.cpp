#include "mqtt_link.h"

#include "tell.h"

#include <mosquitto.h>

namespace zephlor::gateway {
namespace {

constexpr int kQos = 1;
constexpr int kKeepAliveSeconds = 30;
constexpr const char* kOnline = "online";
constexpr const char* kOffline = "offline";

std::string failure(const char* what, int code) {
  return std::string(what) + ": " + mosquitto_strerror(code);
}

}  // namespace

MqttLink::MqttLink(const Topics& topics, SetHandler onSet)
    : topics_(topics), onSet_(std::move(onSet)) {}

MqttLink::~MqttLink() {
  stop(std::chrono::milliseconds(0));
  // A thread left behind by stop() may still use the client; the process is ending.
  if (client_ != nullptr && !networkLeftRunning_) mosquitto_destroy(client_);
}

ExitCode MqttLink::start(const BrokerConfig& broker, const std::string& password,
                         std::string& error) {
  broker_ = broker.host + ":" + std::to_string(broker.port);
  client_ = mosquitto_new(broker.clientId.c_str(), true, this);
  if (client_ == nullptr) {
    error = "cannot make an MQTT client";
    return kUsage;
  }
  // Published to from the line threads while its own thread runs the connection.
  mosquitto_threaded_set(client_, true);
  mosquitto_log_callback_set(client_, onLog);
  mosquitto_connect_callback_set(client_, onConnect);
  mosquitto_disconnect_callback_set(client_, onDisconnect);
  mosquitto_publish_callback_set(client_, onPublish);
  mosquitto_message_callback_set(client_, onMessage);
  // A broker that goes away is asked again after 1 s, then up to every 10 s.
  mosquitto_reconnect_delay_set(client_, 1, 10, true);
  // Thousands of values a second at QoS 1: a window of 20 unacknowledged messages, the
  // library's default, would hold them to 20 per round trip to the broker.
  mosquitto_max_inflight_messages_set(client_, 200);
  // A value goes out when it is published, not when Nagle's algorithm has gathered more.
  mosquitto_int_option(client_, MOSQ_OPT_TCP_NODELAY, 1);
  int code = mosquitto_will_set(client_, topics_.gatewayStatus().c_str(),
                                static_cast<int>(std::char_traits<char>::length(kOffline)),
                                kOffline, kQos, true);
  if (code != MOSQ_ERR_SUCCESS) {
    error = failure("the last will", code);
    return kUsage;
  }
  if (!broker.username.empty() || !broker.passwordFile.empty()) {
    code = mosquitto_username_pw_set(client_, broker.username.c_str(),
                                     broker.passwordFile.empty() ? nullptr : password.c_str());
    if (code != MOSQ_ERR_SUCCESS) {
      error = failure("the user name and password", code);
      return kUsage;
    }
  }
  if (broker.tls) {
    const TlsConfig& tls = *broker.tls;
    code = mosquitto_tls_set(client_, tls.caFile.c_str(), nullptr,
                             tls.certFile.empty() ? nullptr : tls.certFile.c_str(),
                             tls.keyFile.empty() ? nullptr : tls.keyFile.c_str(), nullptr);
    if (code != MOSQ_ERR_SUCCESS) {
      error = "the TLS files (" + tls.caFile + (tls.certFile.empty() ? "" : ", " + tls.certFile) +
              (tls.keyFile.empty() ? "" : ", " + tls.keyFile) +
              ") cannot be read: " + mosquitto_strerror(code);
      return kConfigUnreadable;
    }
  }
  // The first attempt may fail (the broker not up yet): the connection's thread keeps trying,
  // and the lines are polled meanwhile.
  mosquitto_connect_async(client_, broker.host.c_str(), broker.port, kKeepAliveSeconds);
  network_ = std::thread([this] { serve(); });
  return kSuccess;
}

// The library's loop reconnects after a lost connection by itself; it returns on what it takes
// for fatal. A failed TLS handshake before the broker ever accepted the gateway is a certificate
// that does not fit, told as a refusal; anything else is tried again after a pause.
void MqttLink::serve() {
  for (auto pause = std::chrono::seconds(1);;
       pause = std::min(2 * pause, std::chrono::seconds(10))) {
    const int code = mosquitto_loop_forever(client_, 1000, 1);
    std::unique_lock<std::mutex> hold(mutex_);
    if (stopping_) break;
    if (code == MOSQ_ERR_TLS && !everConnected_) {
      refusal_ = "the TLS handshake with " + broker_ + " failed" + lastError() +
                 ": is ca-file the authority that signed the broker's certificate?";
      break;
    }
    tell("the connection to " + broker_ + " failed: " + mosquitto_strerror(code) + lastError() +
         "; trying again");
    if (acknowledged_.wait_for(hold, pause, [this] { return stopping_; })) break;
    hold.unlock();
    mosquitto_reconnect(client_);
  }
  const std::lock_guard<std::mutex> hold(mutex_);
  networkEnded_ = true;
  acknowledged_.notify_all();
}

void MqttLink::send(const std::string& topic, const std::string& payload, bool retained,
                    int* messageId) {
  mosquitto_publish(client_, messageId, topic.c_str(), static_cast<int>(payload.size()),
                    payload.data(), kQos, retained);
}

void MqttLink::publish(const std::string& topic, const std::string& payload, bool retained) {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (retained) latest_[topic] = payload;
    if (!connected_) return;
  }
  // Sent outside the lock (the library takes its own): a line thread preempted while sending
  // would otherwise hold up every other line's values. Each topic has one publishing thread,
  // and a connection that comes back sends every topic's latest, so nothing is lost or reordered.
  send(topic, payload, retained, nullptr);
}

std::string MqttLink::refusal() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return refusal_;
}

void MqttLink::stop(std::chrono::milliseconds grace) {
  if (!network_.joinable()) return;
  std::unique_lock<std::mutex> hold(mutex_);
  stopping_ = true;
  if (connected_) {
    int messageId = -1;
    send(topics_.gatewayStatus(), kOffline, true, &messageId);
    offlineMessage_ = messageId;
    acknowledged_.wait_for(hold, grace, [this] { return offlineTaken_ || !connected_; });
  }
  acknowledged_.notify_all();
  hold.unlock();
  mosquitto_disconnect(client_);
  // The loop ends at once after the disconnection; only an attempt to connect to a host that
  // does not answer holds it up, and that is not waited out.
  hold.lock();
  acknowledged_.wait_for(hold, grace, [this] { return networkEnded_; });
  const bool ended = networkEnded_;
  hold.unlock();
  if (ended) {
    network_.join();
  } else {
    network_.detach();
    networkLeftRunning_ = true;
  }
}

void MqttLink::onConnect(mosquitto* client, void* self, int code) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::lock_guard<std::mutex> hold(link.mutex_);
  if (code != 0) {
    if (!link.everConnected_) {
      link.refusal_ = "the broker " + link.broker_ +
                      " refused the connection: " + mosquitto_connack_string(code);
      // No more attempts: the gateway ends on a refusal at start.
      mosquitto_disconnect(client);
    }
    return;
  }
  tell((link.everConnected_ ? "connected again to " : "connected to ") + link.broker_);
  link.connected_ = true;
  link.everConnected_ = true;
  {
    const std::lock_guard<std::mutex> forget(link.errorMutex_);
    link.lastError_.clear();
  }
  mosquitto_subscribe(client, nullptr, link.topics_.setSubscription().c_str(), kQos);
  // Online first, then the latest of everything: what subscribers missed while the broker was
  // away, or what the gateway found before it first connected.
  link.latest_[link.topics_.gatewayStatus()] = kOnline;
  link.send(link.topics_.gatewayStatus(), kOnline, true, nullptr);
  for (const auto& [topic, payload] : link.latest_) {
    if (topic != link.topics_.gatewayStatus()) link.send(topic, payload, true, nullptr);
  }
}

void MqttLink::onDisconnect(mosquitto*, void* self, int code) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::lock_guard<std::mutex> hold(link.mutex_);
  if (link.connected_ && !link.stopping_) {
    tell("lost the broker " + link.broker_ + " (" + mosquitto_strerror(code) +
         "); the latest values go out when it is back");
  }
  link.connected_ = false;
  link.acknowledged_.notify_all();
}

void MqttLink::onLog(mosquitto*, void* self, int level, const char* text) {
  if (level != MOSQ_LOG_ERR) return;
  auto& link = *static_cast<MqttLink*>(self);
  const std::lock_guard<std::mutex> hold(link.errorMutex_);
  link.lastError_ = text;
}

std::string MqttLink::lastError() const {
  const std::lock_guard<std::mutex> hold(errorMutex_);
  return lastError_.empty() ? std::string() : " (" + lastError_ + ")";
}

void MqttLink::onPublish(mosquitto*, void* self, int messageId) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::lock_guard<std::mutex> hold(link.mutex_);
  if (messageId == link.offlineMessage_) {
    link.offlineTaken_ = true;
    link.acknowledged_.notify_all();
  }
}

void MqttLink::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::string payload = message->payloadlen > 0
                                  ? std::string(static_cast<const char*>(message->payload),
                                                static_cast<size_t>(message->payloadlen))
                                  : std::string();
  link.onSet_(message->topic, payload);
}

}  // namespace zephlor::gateway
