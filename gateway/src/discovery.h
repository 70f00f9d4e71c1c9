// Home Assistant's MQTT discovery: for every item a retained config under
// DISCOVERY/COMPONENT/NODE/OBJECT/config that makes each line a device there and each item an
// entity of it, available while the gateway is online and the line is up. A config whose item
// left the configuration is taken back with an empty retained message.
#pragma once

#include <map>
#include <string>

#include "config.h"
#include "message_sink.h"

namespace zephlor::gateway {

// Every discovery config `config` asks for, by topic; none when discovery is off.
std::map<std::string, std::string> discoveryConfigs(const GatewayConfig& config);

// Publishes every config of `after`, and takes back those of `before` that it no longer has.
void announce(MessageSink& sink, const GatewayConfig& before, const GatewayConfig& after);

}  // namespace zephlor::gateway
