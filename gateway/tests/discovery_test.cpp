// Home Assistant's MQTT discovery, checked against the keys its MQTT sensor, number and switch
// documentation lists (no Home Assistant needed): each item becomes the entity its kind and
// writability call for, under a topic Home Assistant reads, and a reload takes back what left.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <set>

#include "discovery.h"
#include "payloads.h"

namespace zephlor::gateway {
namespace {

using Keys = std::set<std::string>;

// The keys Home Assistant documents for an MQTT entity of each component, for its device and
// for one entry of its availability list.
const Keys kCommon = {"availability",
                      "availability_mode",
                      "availability_template",
                      "availability_topic",
                      "device",
                      "device_class",
                      "enabled_by_default",
                      "encoding",
                      "entity_category",
                      "icon",
                      "json_attributes_template",
                      "json_attributes_topic",
                      "name",
                      "object_id",
                      "payload_available",
                      "payload_not_available",
                      "platform",
                      "qos",
                      "unique_id",
                      "value_template",
                      "state_topic"};
const std::map<std::string, Keys> kComponentKeys = {
    {"sensor",
     {"expire_after", "force_update", "last_reset_value_template", "options",
      "suggested_display_precision", "state_class", "unit_of_measurement"}},
    {"number",
     {"command_template", "command_topic", "max", "min", "mode", "optimistic", "payload_reset",
      "retain", "step", "unit_of_measurement"}},
    {"switch",
     {"command_template", "command_topic", "optimistic", "payload_off", "payload_on", "retain",
      "state_off", "state_on"}},
};
const Keys kDeviceKeys = {"configuration_url", "connections",    "hw_version", "identifiers",
                          "manufacturer",      "model",          "model_id",   "name",
                          "serial_number",     "suggested_area", "sw_version", "via_device"};
const Keys kAvailabilityKeys = {"payload_available", "payload_not_available", "topic",
                                "value_template"};

class RecordingSink : public MessageSink {
 public:
  void publish(const std::string& topic, const std::string& payload, bool retained, Keep) override {
    EXPECT_TRUE(retained) << topic;
    published[topic] = payload;
  }
  std::map<std::string, std::string> published;
};

GatewayConfig configWith(const std::string& items) {
  const ConfigReading reading = readConfig(
      "topic-prefix: plant/a\ndiscovery: {}\nlines:\n  - name: hall 1\n    device: sim\n"
      "    items:\n" +
      items);
  EXPECT_TRUE(reading.config) << reading.problems.front().message;
  return reading.config.value_or(GatewayConfig{});
}

TEST(Discovery, EveryItemIsTheEntityItsKindCallsForWithHomeAssistantsKeys) {
  const GatewayConfig config = configWith(
      "      - {name: fw, item: firmware 0, every: 60000}\n"
      "      - {name: lamp, item: led 1 2 3, every: 1000, writable: true}\n"
      "      - {name: level, item: station-level 1 2 3, every: 1000, writable: true, unit: '%'}\n"
      "      - {name: heat, item: thermostat 1 2 1, every: 1000, writable: true,"
      " device-class: temperature, unit: °C, label: Hall heating}\n"
      "      - {name: fan, item: switch 1 1 4, every: 1000}\n"
      "      - {name: profile, item: station-profile 1 2 3, writable: true}\n");
  const std::map<std::string, std::string> expected = {{"fw", "sensor"},    {"lamp", "switch"},
                                                       {"level", "number"}, {"heat", "number"},
                                                       {"fan", "sensor"},   {"profile", "number"}};
  const std::map<std::string, std::string> configs = discoveryConfigs(config);
  ASSERT_EQ(configs.size(), expected.size());
  const std::regex topicForm(
      "homeassistant/(sensor|number|switch)/([A-Za-z0-9_-]+)/"
      "([A-Za-z0-9_-]+)/config");
  std::set<std::string> uniqueIds;
  for (const auto& [topic, payload] : configs) {
    std::smatch parts;
    ASSERT_TRUE(std::regex_match(topic, parts, topicForm)) << topic;
    const std::string component = parts[1];
    EXPECT_EQ(expected.at(parts[3]), component) << topic;
    const Json entity = Json::parse(payload);
    for (const auto& [key, value] : entity.items()) {
      EXPECT_TRUE(kCommon.count(key) != 0 || kComponentKeys.at(component).count(key) != 0)
          << component << " has no key " << key;
    }
    for (const auto& [key, value] : entity["device"].items())
      EXPECT_EQ(kDeviceKeys.count(key), 1u) << key;
    for (const Json& entry : entity["availability"]) {
      for (const auto& [key, value] : entry.items())
        EXPECT_EQ(kAvailabilityKeys.count(key), 1u) << key;
    }
    EXPECT_TRUE(uniqueIds.insert(entity["unique_id"].get<std::string>()).second);
    EXPECT_EQ(entity.contains("command_topic"), component != "sensor") << topic;
    EXPECT_EQ(entity["device"]["name"], "hall 1");
  }
  const Json heat =
      Json::parse(configs.at("homeassistant/number/zephlor_plant_a_hall_1/heat/config"));
  EXPECT_EQ(heat["name"], "Hall heating");
  EXPECT_EQ(heat["unit_of_measurement"], "°C");
  EXPECT_EQ(heat["device_class"], "temperature");
  EXPECT_EQ(heat["min"], -2147483648LL);
  EXPECT_EQ(heat["command_topic"], "plant/a/hall 1/heat/set");
  EXPECT_FALSE(Json::parse(configs.at("homeassistant/number/zephlor_plant_a_hall_1/profile/config"))
                   .contains("state_topic"));  // write only: nothing to show back
}

TEST(Discovery, IsOffUnlessAskedForAndAReloadTakesBackWhatLeft) {
  GatewayConfig off = configWith("      - {name: fan, item: switch 1 1 4, every: 1000}\n");
  off.discovery.reset();
  EXPECT_TRUE(discoveryConfigs(off).empty());

  const GatewayConfig before = configWith(
      "      - {name: fan, item: switch 1 1 4, every: 1000}\n"
      "      - {name: lamp, item: led 1 2 3, every: 1000}\n");
  const GatewayConfig after = configWith("      - {name: fan, item: switch 1 1 4, every: 1000}\n");
  RecordingSink sink;
  announce(sink, before, after);
  EXPECT_EQ(sink.published, (std::map<std::string, std::string>{
                                {"homeassistant/sensor/zephlor_plant_a_hall_1/lamp/config", ""}}));
}

}  // namespace
}  // namespace zephlor::gateway
