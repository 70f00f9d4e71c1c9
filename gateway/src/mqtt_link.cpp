#include "mqtt_link.h"

#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <vector>

#include "mqtt_settings.h"
#include "tell.h"

namespace zephlor::gateway {
using namespace mqtt;

MqttLink::MqttLink(const Topics& topics, SetHandler onSet)
    : topics_(topics), onSet_(std::move(onSet)), outgoing_(kResultsKept) {}

MqttLink::~MqttLink() {
  stop(std::chrono::milliseconds(0));
  // A thread left behind by stop() may still use the client; the process is ending.
  if (client_ != nullptr && !networkLeftRunning_) mosquitto_destroy(client_);
}

ExitCode MqttLink::start(const BrokerConfig& broker, const std::string& password,
                         std::string& error) {
  host_ = broker.host;
  port_ = broker.port;
  broker_ = broker.host + ":" + std::to_string(broker.port);
  client_ = mosquitto_new(broker.clientId.c_str(), true, this);
  if (client_ == nullptr) {
    error = "cannot make an MQTT client";
    return kUsage;
  }
  mosquitto_int_option(client_, MOSQ_OPT_PROTOCOL_VERSION, MQTT_PROTOCOL_V5);
  // Published to from the sender while its own thread runs the connection.
  mosquitto_threaded_set(client_, true);
  mosquitto_log_callback_set(client_, onLog);
  mosquitto_connect_v5_callback_set(client_, onConnect);
  mosquitto_disconnect_v5_callback_set(client_, onDisconnect);
  mosquitto_subscribe_callback_set(client_, onSubscribe);
  mosquitto_publish_callback_set(client_, onPublish);
  mosquitto_message_callback_set(client_, onMessage);
  // A broker that goes away is asked again after 1 s, then up to every 10 s.
  mosquitto_reconnect_delay_set(client_, 1, 10, true);
  mosquitto_int_option(client_, MOSQ_OPT_SEND_MAXIMUM, kWindow);
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
    const auto given = [](const std::string& path) {
      return path.empty() ? nullptr : path.c_str();
    };
    const bool systemTrust = tls.caFile.empty() && tls.caPath.empty();
    code = systemTrust ? mosquitto_int_option(client_, MOSQ_OPT_TLS_USE_OS_CERTS, 1)
                       : MOSQ_ERR_SUCCESS;
    // The library takes a client certificate only beside an authority of its own; with the
    // system's trust store that is the system's folder of authorities.
    if (code == MOSQ_ERR_SUCCESS && (!systemTrust || !tls.certFile.empty())) {
      code = mosquitto_tls_set(client_, given(tls.caFile),
                               systemTrust ? kSystemAuthorities : given(tls.caPath),
                               given(tls.certFile), given(tls.keyFile), nullptr);
    }
    if (code != MOSQ_ERR_SUCCESS) {
      std::string files;
      for (const std::string* path : {&tls.caFile, &tls.caPath, &tls.certFile, &tls.keyFile}) {
        if (!path->empty()) files += (files.empty() ? "" : ", ") + *path;
      }
      error = "the TLS files (" + (files.empty() ? std::string("the system's") : files) +
              ") cannot be read: " + mosquitto_strerror(code);
      return kConfigUnreadable;
    }
  }
  // The first attempt may fail (the broker not up yet): the connection's thread keeps trying,
  // and the lines are polled meanwhile.
  network_ = std::thread([this] { connectAndServe(); });
  sender_ = std::thread([this] { sendWaiting(); });
  return kSuccess;
}

// Connects for the first time, asking again after a pause while the broker is not there. False
// when a stop came first, or the TLS handshake failed (a certificate that does not fit, told as a
// refusal).
bool MqttLink::firstConnection() {
  mosquitto_property* properties = nullptr;
  mosquitto_property_add_int32(&properties, MQTT_PROP_MAXIMUM_PACKET_SIZE, kMaximumPacketSize);
  bool connected = false;
  for (auto pause = std::chrono::seconds(1);;
       pause = std::min(2 * pause, std::chrono::seconds(10))) {
    const int code = mosquitto_connect_bind_v5(client_, host_.c_str(), port_, kKeepAliveSeconds,
                                               nullptr, properties);
    std::unique_lock<std::mutex> hold(mutex_);
    if (stopping_) break;
    if (code == MOSQ_ERR_SUCCESS) {
      connected = true;
      break;
    }
    if (code == MOSQ_ERR_TLS) {
      refusal_ = "the TLS handshake with " + broker_ + " failed" + lastError() +
                 ": the broker's certificate is not signed by the authority in ca-file, or does "
                 "not name " +
                 host_;
      break;
    }
    if (changed_.wait_for(hold, pause, [this] { return stopping_; })) break;
  }
  mosquitto_property_free_all(&properties);
  return connected;
}

// The library's loop reconnects after a lost connection by itself (with the first connection's
// properties); it returns on what it takes for fatal, which is tried again after a pause.
void MqttLink::connectAndServe() {
  if (firstConnection()) {
    for (auto pause = std::chrono::seconds(1);;
         pause = std::min(2 * pause, std::chrono::seconds(10))) {
      const int code = mosquitto_loop_forever(client_, 1000, 1);
      std::unique_lock<std::mutex> hold(mutex_);
      if (stopping_ || !refusal_.empty()) break;
      if (code == MOSQ_ERR_TLS && !everConnected_) {
        refusal_ = "the TLS handshake with " + broker_ + " failed" + lastError();
        break;
      }
      tell(Priority::kWarning, "the connection to " + broker_ + " failed: " +
                                   mosquitto_strerror(code) + lastError() + "; trying again");
      if (changed_.wait_for(hold, pause, [this] { return stopping_; })) break;
      hold.unlock();
      mosquitto_reconnect(client_);
    }
  }
  const std::lock_guard<std::mutex> hold(mutex_);
  networkEnded_ = true;
  changed_.notify_all();
}

// The one sender: takes what waits while the broker keeps up, and hands it to the library.
// The lines' threads only leave their messages in the shards, so however many lines publish,
// they never wait on the network, nor it on them.
void MqttLink::sendWaiting() {
  while (!senderStop_.load()) {
    {
      const std::lock_guard<std::mutex> hold(mutex_);
      if (connected_ && !outgoing_.whole() && Clock::now() >= connectedAt_ + kSubscriptionWait) {
        outgoing_.connectionWhole({topics_.gatewayStatus(), kOnline, true});
      }
    }
    const int room = kWindow - inFlight_.load();
    std::vector<Outbox::Message> batch;
    if (outgoing_.whole() && room > 0) batch = outgoing_.take(static_cast<size_t>(room));
    if (batch.empty()) {
      outgoing_.waitForWork(std::chrono::milliseconds(100));
      continue;
    }
    inFlight_ += static_cast<int>(batch.size());
    for (Outbox::Message& message : batch) {
      const int code = mosquitto_publish(client_, nullptr, message.topic.c_str(),
                                         static_cast<int>(message.payload.size()),
                                         message.payload.data(), kQos, message.retained);
      if (code == MOSQ_ERR_SUCCESS) continue;
      --inFlight_;
      // Lost with the connection: a value is sent again with the latest of everything when it
      // is back; a write's result waits for it.
      if (code == MOSQ_ERR_NO_CONN) {
        if (!message.retained) outgoing_.putBack(std::move(message));
      } else {
        tell(Priority::kError,
             "cannot publish on " + message.topic + ": " + mosquitto_strerror(code));
      }
    }
  }
}

void MqttLink::publish(const std::string& topic, const std::string& payload, bool retained,
                       Keep keep) {
  outgoing_.put(topic, payload, retained, keep);
}

std::string MqttLink::refusal() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return refusal_;
}

LinkFigures MqttLink::figures() const {
  const std::lock_guard<std::mutex> hold(mutex_);
  return {connected_, subscribed_, outgoing_.waiting(), outgoing_.coalesced(), outgoing_.dropped()};
}

void MqttLink::stop(std::chrono::milliseconds grace) {
  if (!network_.joinable()) return;
  const Clock::time_point deadline = Clock::now() + grace;
  // What the lines said on their way out (their statuses, the last results) goes first.
  while (outgoing_.whole() && (outgoing_.waiting() != 0 || inFlight_.load() != 0) &&
         Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  senderStop_ = true;
  outgoing_.wake();
  sender_.join();
  std::unique_lock<std::mutex> hold(mutex_);
  stopping_ = true;
  changed_.notify_all();
  if (connected_) {
    int messageId = -1;
    mosquitto_publish(client_, &messageId, topics_.gatewayStatus().c_str(),
                      static_cast<int>(std::char_traits<char>::length(kOffline)), kOffline, kQos,
                      true);
    offlineMessage_ = messageId;
    changed_.wait_until(hold, std::max(deadline, Clock::now() + std::chrono::milliseconds(250)),
                        [this] { return offlineTaken_ || !connected_; });
  }
  hold.unlock();
  mosquitto_disconnect(client_);
  // The loop ends at once after the disconnection; only an attempt to connect to a host that
  // does not answer holds it up, and that is not waited out.
  hold.lock();
  changed_.wait_until(hold, std::max(deadline, Clock::now() + std::chrono::milliseconds(100)),
                      [this] { return networkEnded_; });
  const bool ended = networkEnded_;
  hold.unlock();
  if (ended) {
    network_.join();
  } else {
    network_.detach();
    networkLeftRunning_ = true;
  }
}

}  // namespace zephlor::gateway
