// What the broker link is set to, shared by the link and its library callbacks.
#pragma once

#include <mosquitto.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

namespace zephlor::gateway::mqtt {

using Clock = std::chrono::steady_clock;

using Clock = std::chrono::steady_clock;

constexpr int kQos = 1;
constexpr int kKeepAliveSeconds = 30;
constexpr const char* kOnline = "online";
constexpr const char* kOffline = "offline";
// Messages with the library at once: thousands of values a second at QoS 1 need more than one
// round trip's worth, and no more, or a slow link fills the library's queue instead of the
// outbox, where values coalesce.
constexpr int kWindow = 200;
// Write results kept while the broker is away or slow.
constexpr size_t kResultsKept = 4096;
// The largest message taken: a write request is under 256 bytes; anything far larger is never
// sent to the gateway, so it is never held.
constexpr uint32_t kMaximumPacketSize = 64 * 1024;
// A connection that the broker ends sooner than this, again and again, is another client taking
// the same client id.
constexpr auto kShortConnection = std::chrono::seconds(5);
constexpr int kShortConnectionsTold = 3;
// Without an answer to the subscription, the latest values go out all the same after this.
constexpr auto kSubscriptionWait = std::chrono::seconds(5);

// Where Debian keeps the system's certificate authorities, hashed for OpenSSL.
constexpr const char* kSystemAuthorities = "/etc/ssl/certs";

inline std::string failure(const char* what, int code) {
  return std::string(what) + ": " + mosquitto_strerror(code);
}

}  // namespace zephlor::gateway::mqtt
