// What is said of whole configurations: when a reload may leave a line or the broker connection
// as it is, and the configuration --sim runs without a file.
#include "config.h"

#include <tuple>

namespace zephlor::gateway {

bool operator==(const ItemConfig& a, const ItemConfig& b) {
  return std::tie(a.name, a.item.kind, a.item.addresses, a.every, a.writable, a.publish,
                  a.heartbeat, a.unit, a.deviceClass,
                  a.label) == std::tie(b.name, b.item.kind, b.item.addresses, b.every, b.writable,
                                       b.publish, b.heartbeat, b.unit, b.deviceClass, b.label);
}

bool operator==(const LineConfig& a, const LineConfig& b) {
  return std::tie(a.name, a.device, a.baud, a.timeout, a.retries, a.items) ==
         std::tie(b.name, b.device, b.baud, b.timeout, b.retries, b.items);
}

bool operator==(const TlsConfig& a, const TlsConfig& b) {
  return std::tie(a.caFile, a.caPath, a.certFile, a.keyFile) ==
         std::tie(b.caFile, b.caPath, b.certFile, b.keyFile);
}

bool operator==(const BrokerConfig& a, const BrokerConfig& b) {
  return std::tie(a.host, a.port, a.clientId, a.username, a.passwordFile, a.tls) ==
         std::tie(b.host, b.port, b.clientId, b.username, b.passwordFile, b.tls);
}

bool operator==(const HttpConfig& a, const HttpConfig& b) {
  return std::tie(a.address, a.port, a.username, a.passwordFile, a.readPassword, a.readOnly,
                  a.certFile, a.keyFile) == std::tie(b.address, b.port, b.username, b.passwordFile,
                                                     b.readPassword, b.readOnly, b.certFile,
                                                     b.keyFile);
}

GatewayConfig simulatedConfig() {
  // clang-format off
  static const char* const kText = R"(topic-prefix: zephlor/sim
lines:
  - name: line-1
    device: sim
    timeout: 500
    items:
      - {name: firmware, item: firmware 0, every: 10000}
      - {name: hall-level, item: station-level 1 2 3, every: 1000, writable: true}
      - {name: heating, item: thermostat 1 2 1, every: 2000, writable: true}
      - {name: fan, item: switch 1 1 4, every: 500, writable: true}
)";
  // clang-format on
  return *readConfig(kText).config;
}

}  // namespace zephlor::gateway
