// What the MQTT library tells the link, on its network thread: a connection made or lost, the
// subscription answered, a message delivered or arrived, and its log.
#include <mosquitto.h>
#include <mqtt_protocol.h>

#include <algorithm>

#include "mqtt_link.h"
#include "mqtt_settings.h"
#include "tell.h"

namespace zephlor::gateway {

using namespace mqtt;

void MqttLink::onConnect(mosquitto* client, void* self, int code, int, const mosquitto_property*) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::lock_guard<std::mutex> hold(link.mutex_);
  if (code != 0) {
    if (!link.everConnected_) {
      link.refusal_ = "the broker " + link.broker_ +
                      " refused the connection: " + mosquitto_reason_string(code);
      // No more attempts: the gateway ends on a refusal at start.
      mosquitto_disconnect(client);
    }
    return;
  }
  tell(Priority::kInfo,
       (link.everConnected_ ? "connected again to " : "connected to ") + link.broker_);
  link.connected_ = true;
  link.everConnected_ = true;
  link.outgoing_.connectionBroken();
  link.inFlight_ = 0;  // the library sends again what was in flight, outside the window
  link.connectedAt_ = Clock::now();
  {
    const std::lock_guard<std::mutex> forget(link.errorMutex_);
    link.lastError_.clear();
  }
  // Writes and reads asked for, in one subscription: one answer says whether both arrive.
  const std::string set = link.topics_.setSubscription();
  const std::string get = link.topics_.getSubscription();
  char* const subscriptions[] = {const_cast<char*>(set.c_str()), const_cast<char*>(get.c_str())};
  const int subscribed =
      mosquitto_subscribe_multiple(client, nullptr, 2, subscriptions, kQos, 0, nullptr);
  if (subscribed != MOSQ_ERR_SUCCESS) {
    tell(Priority::kError, "cannot subscribe to " + set + " and " + get + ": " +
                               mosquitto_strerror(subscribed) +
                               "; writes cannot arrive until the next connection");
  }
  link.changed_.notify_all();
}

// The answer to the subscription comes after the library sent again what was in flight: the
// latest of everything goes out after those older messages.
void MqttLink::onSubscribe(mosquitto*, void* self, int, int count, const int* granted) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::lock_guard<std::mutex> hold(link.mutex_);
  link.subscribed_ =
      count > 0 && std::all_of(granted, granted + count, [](int qos) { return qos < 0x80; });
  if (!link.subscribed_) {
    tell(Priority::kError, "the broker refused the subscription to " +
                               link.topics_.setSubscription() +
                               ": writes cannot arrive; is the client allowed to read it?");
  }
  if (link.connected_ && !link.outgoing_.whole()) {
    link.outgoing_.connectionWhole({link.topics_.gatewayStatus(), kOnline, true});
  }
}

void MqttLink::onDisconnect(mosquitto*, void* self, int code, const mosquitto_property*) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::lock_guard<std::mutex> hold(link.mutex_);
  if (link.connected_ && !link.stopping_) {
    const bool takenOver = code == MQTT_RC_SESSION_TAKEN_OVER;
    const bool shortLived = Clock::now() - link.connectedAt_ < kShortConnection;
    link.shortConnections_ = takenOver || shortLived ? link.shortConnections_ + 1 : 0;
    tell(Priority::kWarning,
         "lost the broker " + link.broker_ + " (" +
             (takenOver ? std::string("another client connected with this client id")
                        : std::string(code < 128 ? mosquitto_strerror(code)
                                                 : mosquitto_reason_string(code))) +
             "); the latest values go out when it is back");
    if (link.shortConnections_ == kShortConnectionsTold) {
      tell(Priority::kWarning,
           "the broker has ended " + std::to_string(link.shortConnections_) +
               " connections in a row soon after they began: is another gateway or client using "
               "the same client id? Give each gateway a client-id of its own");
    }
  }
  link.connected_ = false;
  link.outgoing_.connectionBroken();
  link.subscribed_ = false;
  link.changed_.notify_all();
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
  if (messageId == link.offlineMessage_) link.offlineTaken_ = true;
  // Messages the library sent again after a reconnection are acknowledged outside the window.
  int inFlight = link.inFlight_.load();
  while (inFlight > 0 && !link.inFlight_.compare_exchange_weak(inFlight, inFlight - 1)) {
  }
  link.changed_.notify_all();
  link.outgoing_.wake();
}

void MqttLink::onMessage(mosquitto*, void* self, const mosquitto_message* message) {
  auto& link = *static_cast<MqttLink*>(self);
  const std::string payload = message->payloadlen > 0
                                  ? std::string(static_cast<const char*>(message->payload),
                                                static_cast<size_t>(message->payloadlen))
                                  : std::string();
  link.onSet_(message->topic, payload, message->retain);
}

}  // namespace zephlor::gateway
