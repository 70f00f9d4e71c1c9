#include "mqtt_link.h"

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
  if (client_ != nullptr) {
    if (started_) mosquitto_loop_stop(client_, true);
    mosquitto_destroy(client_);
  }
}

ExitCode MqttLink::start(const BrokerConfig& broker, const std::string& password,
                         std::string& error) {
  client_ = mosquitto_new(broker.clientId.c_str(), true, this);
  if (client_ == nullptr) {
    error = "cannot make an MQTT client";
    return kUsage;
  }
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
  // The first attempt may fail (the broker not up yet): the library's thread keeps trying, and
  // the lines are polled meanwhile. The thread is started first: started after a first attempt
  // that failed, it would wait for ever.
  code = mosquitto_loop_start(client_);
  if (code != MOSQ_ERR_SUCCESS) {
    error = failure("the MQTT client's thread", code);
    return kUsage;
  }
  started_ = true;
  mosquitto_connect_async(client_, broker.host.c_str(), broker.port, kKeepAliveSeconds);
  return kSuccess;
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
  if (!started_) return;
  {
    std::unique_lock<std::mutex> hold(mutex_);
    if (connected_) {
      int messageId = -1;
      send(topics_.gatewayStatus(), kOffline, true, &messageId);
      offlineMessage_ = messageId;
      acknowledged_.wait_for(hold, grace, [this] { return offlineTaken_ || !connected_; });
    }
  }
  // Never connected or not now, the library's thread may be waiting on a connection attempt
  // to a host that does not answer: that is cut short rather than waited out.
  const bool connected = [this] {
    const std::lock_guard<std::mutex> hold(mutex_);
    return connected_;
  }();
  mosquitto_disconnect(client_);
  mosquitto_loop_stop(client_, !connected);
  started_ = false;
}

void MqttLink::onConnect(mosquitto* client, void* self, int code) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::lock_guard<std::mutex> hold(link.mutex_);
  if (code != 0) {
    if (!link.everConnected_) link.refusal_ = mosquitto_connack_string(code);
    return;
  }
  link.connected_ = true;
  link.everConnected_ = true;
  mosquitto_subscribe(client, nullptr, link.topics_.setSubscription().c_str(), kQos);
  // Online first, then the latest of everything: what subscribers missed while the broker was
  // away, or what the gateway found before it first connected.
  link.latest_[link.topics_.gatewayStatus()] = kOnline;
  link.send(link.topics_.gatewayStatus(), kOnline, true, nullptr);
  for (const auto& [topic, payload] : link.latest_) {
    if (topic != link.topics_.gatewayStatus()) link.send(topic, payload, true, nullptr);
  }
}

void MqttLink::onDisconnect(mosquitto*, void* self, int) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::lock_guard<std::mutex> hold(link.mutex_);
  link.connected_ = false;
  link.acknowledged_.notify_all();
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
