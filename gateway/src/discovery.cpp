#include "discovery.h"

#include "payloads.h"
#include "topic_names.h"

namespace zephlor::gateway {
namespace {

// Node and object ids take letters, digits, '_' and '-' alone; anything else becomes '_'.
std::string idOf(const std::string& text) {
  std::string id = text;
  for (char& c : id) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
    if (!plain && c != '-') c = '_';
  }
  return id;
}

// The entity an item is: a value to read, a number to set, or a switch.
const char* componentOf(const ItemConfig& item) {
  if (!item.writable) return "sensor";
  const ItemKind kind = item.item.kind->kind;
  return kind == ItemKind::Switch || kind == ItemKind::LedState ? "switch" : "number";
}

Json configOf(const GatewayConfig& config, const LineConfig& line, const ItemConfig& item,
              const std::string& node, const char* component) {
  const Topics topics{config.topicPrefix};
  const facts::ItemKindInfo& kind = *item.item.kind;
  Json entity = {
      {"name", item.label.empty() ? item.name : item.label},
      {"unique_id", node + "_" + idOf(item.name)},
      {"availability", Json::array({{{"topic", topics.gatewayStatus()},
                                     {"payload_available", "online"},
                                     {"payload_not_available", "offline"}},
                                    {{"topic", topics.lineStatus(line.name)},
                                     {"value_template", "{{ value_json.state }}"},
                                     {"payload_available", "up"},
                                     {"payload_not_available", "down"}}})},
      {"availability_mode", "all"},
      {"device",
       {{"identifiers", Json::array({node})},
        {"name", line.name},
        {"manufacturer", "Zephlor"},
        {"model", "controller line " + line.device}}},
      {"qos", 1},
  };
  if (kind.readable) {
    entity["state_topic"] = topics.item(line.name, item.name);
    entity["value_template"] = kind.value == facts::ValueRule::kFirmware
                                   ? "{{ value_json.value.version }}"
                                   : "{{ value_json.value }}";
  }
  if (item.writable) entity["command_topic"] = topics.set(line.name, item.name);
  if (std::string(component) == "number") {
    const facts::ValueBounds bounds = facts::valueBounds(kind);
    entity["min"] = static_cast<long long>(bounds.least);
    entity["max"] = static_cast<long long>(bounds.most);
    entity["step"] = 1;
    entity["mode"] = "box";
  } else if (std::string(component) == "switch") {
    entity["payload_on"] = "1";
    entity["payload_off"] = "0";
    entity["state_on"] = "1";
    entity["state_off"] = "0";
  }
  if (!item.unit.empty()) entity["unit_of_measurement"] = item.unit;
  if (!item.deviceClass.empty()) entity["device_class"] = item.deviceClass;
  return entity;
}

}  // namespace

std::map<std::string, std::string> discoveryConfigs(const GatewayConfig& config) {
  std::map<std::string, std::string> configs;
  if (!config.discovery) return configs;
  for (const LineConfig& line : config.lines) {
    const std::string node = idOf("zephlor_" + config.topicPrefix + "_" + line.name);
    for (const ItemConfig& item : line.items) {
      const char* component = componentOf(item);
      configs[config.discovery->prefix + "/" + component + "/" + node + "/" + idOf(item.name) +
              "/config"] = compact(configOf(config, line, item, node, component));
    }
  }
  return configs;
}

void announce(MessageSink& sink, const GatewayConfig& before, const GatewayConfig& after) {
  const std::map<std::string, std::string> had = discoveryConfigs(before);
  const std::map<std::string, std::string> has = discoveryConfigs(after);
  for (const auto& [topic, payload] : had) {
    if (has.count(topic) == 0) sink.publish(topic, "", true, MessageSink::Keep::kLatest);
  }
  for (const auto& [topic, payload] : has) {
    const auto old = had.find(topic);
    if (old == had.end() || old->second != payload) {
      sink.publish(topic, payload, true, MessageSink::Keep::kLatest);
    }
  }
}

}  // namespace zephlor::gateway
