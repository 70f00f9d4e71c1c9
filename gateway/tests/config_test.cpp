// The configuration, read in process: a sound file with what each level of it sets, and a table
// of faulty ones, each refused with its place in the file and a reason a person can act on.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <set>

#include "config.h"
#include "topic_names.h"
#include "zephlor_facts/verdicts.h"

namespace zephlor::gateway {
namespace {

// A line whose item is given by `item` (the text after "- "), indented as in the table below.
std::string withItem(const std::string& item) {
  return "topic-prefix: p\nlines:\n  - name: l\n    device: sim\n    items:\n      - " + item +
         "\n";
}

TEST(GatewayConfig, ReadsWhatEachLevelSets) {
  const ConfigReading reading = readConfig(R"(broker:
  host: broker.local
  port: 8883
  tls: {ca-file: /etc/ca.pem}
topic-prefix: zephlor/site-a
heartbeat: 30000
lines:
  - name: hall-1
    device: tcp:10.0.0.5:4001
    baud: 19200
    timeout: 500
    retries: 2
    publish: every-poll
    items:
      - {name: level, item: station-level 1 2 3, every: 1000, writable: true}
      - {name: profile, item: station-profile 1 2 3, writable: true, publish: on-change}
)");
  ASSERT_TRUE(reading.config) << reading.problems.front().message;
  const GatewayConfig& config = *reading.config;
  EXPECT_EQ(config.broker.host, "broker.local");
  EXPECT_EQ(config.broker.port, 8883);
  EXPECT_EQ(config.broker.tls->caFile, "/etc/ca.pem");
  const LineConfig& line = config.lines.at(0);
  EXPECT_EQ(line.baud, 19200);
  EXPECT_EQ(line.timeout.count(), 500);
  EXPECT_EQ(line.retries, 2);
  EXPECT_EQ(line.items[0].item.describe(), "station-level 1 2 3");
  EXPECT_EQ(line.items[0].publish, PublishMode::kEveryPoll);  // from the line
  EXPECT_EQ(line.items[1].publish, PublishMode::kOnChange);   // the item's own
  EXPECT_EQ(line.items[1].heartbeat.count(), 30000);          // from the top
  EXPECT_EQ(line.items[1].every.count(), 0);                  // write only: never polled
}

std::string fileText(const std::string& path) {
  std::ifstream file(path);
  return {std::istreambuf_iterator<char>(file), {}};
}

// TLS without an authority named checks the broker against the system's trust store, on MQTT's
// TLS port unless another is given.
TEST(GatewayConfig, TlsDefaultsToTheSystemsTrustAndItsPort) {
  const std::string lines =
      "topic-prefix: p\nlines:\n  - {name: l, device: sim, items: [{name: "
      "f, item: firmware 0, every: 1000}]}\n";
  const ConfigReading bare = readConfig("broker: {tls: {}}\n" + lines);
  ASSERT_TRUE(bare.config) << bare.problems.front().message;
  EXPECT_TRUE(bare.config->broker.tls && bare.config->broker.tls->caFile.empty());
  EXPECT_EQ(bare.config->broker.port, 8883);
  const ConfigReading given =
      readConfig("broker: {port: 1884, tls: {ca-path: /etc/ssl/certs}}\n" + lines);
  ASSERT_TRUE(given.config) << given.problems.front().message;
  EXPECT_EQ(given.config->broker.port, 1884);
  EXPECT_EQ(given.config->broker.tls->caPath, "/etc/ssl/certs");
  EXPECT_EQ(readConfig(lines).config->broker.port, 1883);
}

// What people read of the keys comes from the key rows: the README's table is theirs word for
// word, and the example configuration uses them soundly.
TEST(GatewayConfig, TheReadmeAndTheExampleFollowTheKeyRows) {
  const std::string readme = fileText(ZEPHLOR_SOURCE_DIR "/README.md");
  EXPECT_NE(readme.find(configKeysTable()), std::string::npos)
      << "the README's key table is not the key rows'; they give:\n"
      << configKeysTable();
  const ConfigReading example = readConfig(fileText(ZEPHLOR_SOURCE_DIR "/examples/gateway.yaml"));
  EXPECT_TRUE(example.config) << example.problems.front().message;
}

// Every topic is made and read by its row, the README's topic table has a row for each, and the
// README names every verdict a poll can publish as a quality.
TEST(GatewayTopics, AreMadeReadAndToldFromTheirRows) {
  const Topics topics{"site/a"};
  const std::string readme = fileText(ZEPHLOR_SOURCE_DIR "/README.md");
  for (const TopicRow& row : kTopicRows) {
    std::string line;
    std::string item;
    const std::string topic = topics.topic(row.kind, "hall", "level");
    EXPECT_TRUE(topics.parse(topic, row.kind, line, item)) << topic;
    EXPECT_EQ(topic.find("/hall") != std::string::npos, line == "hall") << topic;
    EXPECT_NE(readme.find("| `PREFIX/" + std::string(row.pattern) + "` |"), std::string::npos)
        << row.pattern;
  }
  EXPECT_EQ(topics.setSubscription(), "site/a/+/+/set");
  std::string line;
  std::string item;
  EXPECT_FALSE(topics.parseSet("site/a/hall/set", line, item));
  EXPECT_FALSE(topics.parseSet("site/b/hall/level/set", line, item));
  EXPECT_TRUE(isReservedLineName("metrics") && isReservedLineName("status"));
  EXPECT_TRUE(isReservedItemName("status") && !isReservedItemName("metrics"));
  // A poll never publishes these: it sends a request for every item, and writes none.
  const std::set<std::string> neverPublished = {"good", "no-request", "stopped", "not-confirmed"};
  for (const facts::VerdictRow& verdict : facts::kVerdicts) {
    if (neverPublished.count(verdict.name) != 0) continue;
    EXPECT_NE(readme.find(std::string("`") + verdict.name + "`"), std::string::npos)
        << verdict.name;
  }
}

struct Faulty {
  const char* name;
  std::string yaml;
  int line;
  int column;
  const char* says;
};

class RefusedConfig : public testing::TestWithParam<Faulty> {};

TEST_P(RefusedConfig, SaysWhereAndWhy) {
  const Faulty& row = GetParam();
  const ConfigReading reading = readConfig(row.yaml);
  EXPECT_FALSE(reading.config);
  std::string all;
  bool found = false;
  for (const ConfigProblem& problem : reading.problems) {
    all += std::to_string(problem.line) + ":" + std::to_string(problem.column) + ": " +
           problem.message + "\n";
    found = found || (problem.line == row.line && problem.column == row.column &&
                      problem.message.find(row.says) != std::string::npos);
  }
  EXPECT_TRUE(found) << "no " << row.line << ":" << row.column << ": ..." << row.says
                     << "... among\n"
                     << all;
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Faults, RefusedConfig, testing::Values(
    Faulty{"NotYaml", "lines: [\n", 2, 1, "not YAML"},
    Faulty{"UnknownTopKey", "topic-prefix: p\nline: []\n", 2, 1, "unknown key \"line\""},
    Faulty{"UnknownItemKey", withItem("{name: a, item: led 1 2 3, evry: 100}"), 6, 36, "it takes name, item, every"},
    Faulty{"KeyTwice", "topic-prefix: p\ntopic-prefix: q\n", 2, 1, "given twice"},
    Faulty{"NoPrefix", "lines: []\n", 1, 1, "needs topic-prefix"},
    Faulty{"WildcardPrefix", "topic-prefix: a/#\n", 1, 15, "wildcard #"},
    Faulty{"EmptyLevel", "topic-prefix: a//b\n", 1, 15, "empty level"},
    Faulty{"BrokerTopic", "topic-prefix: $SYS/x\n", 1, 15, "broker's own"},
    Faulty{"SlashInName", withItem("{name: a/b, item: led 1 2 3, every: 100}"), 6, 16, "holds a /"},
    Faulty{"ReservedItem", withItem("{name: status, item: led 1 2 3, every: 100}"), 6, 9, "line's status"},
    Faulty{"BadKind", withItem("{name: a, item: lamp 1 2 3, every: 100}"), 6, 25, "unknown item kind"},
    Faulty{"AddressOutOfRange", withItem("{name: a, item: led 1 2 300, every: 100}"), 6, 25, "0 to 255"},
    Faulty{"TooManyAddresses", withItem("{name: a, item: led 1 2 3 4, every: 100}"), 6, 25, "there are more"},
    Faulty{"Modifier", withItem("{name: a, item: modifier, every: 100}"), 6, 25, "every line of the gateway"},
    Faulty{"PeriodTooShort", withItem("{name: a, item: led 1 2 3, every: 5}"), 6, 43, "from 10 to"},
    Faulty{"PeriodNotANumber", withItem("{name: a, item: led 1 2 3, every: 1s}"), 6, 43, "not \"1s\""},
    Faulty{"NoPeriod", withItem("{name: a, item: led 1 2 3}"), 6, 9, "needs every"},
    Faulty{"PolledWriteOnly", withItem("{name: a, item: station-profile 1 2 3, every: 100, writable: true}"), 6, 9, "cannot be polled"},
    Faulty{"ReadOnlyWritable", withItem("{name: a, item: firmware 0, every: 100, writable: true}"), 6, 9, "cannot be written"},
    Faulty{"WritableNotABool", withItem("{name: a, item: led 1 2 3, every: 100, writable: yes please}"), 6, 58, "true or false"},
    Faulty{"DuplicateItem", "topic-prefix: p\nlines:\n  - name: l\n    device: sim\n    items:\n"
           "      - {name: a, item: led 1 2 3, every: 100}\n      - {name: a, item: led 1 2 4, every: 100}\n",
           7, 9, "two items named a (the first on line 6)"},
    Faulty{"DuplicateLine", "topic-prefix: p\nlines:\n"
           "  - {name: l, device: sim, items: [{name: a, item: led 1 2 3, every: 100}]}\n"
           "  - {name: l, device: sim, items: [{name: a, item: led 1 2 3, every: 100}]}\n",
           4, 5, "two lines are named l"},
    Faulty{"SharedDevice", "topic-prefix: p\nlines:\n"
           "  - {name: l, device: /dev/ttyUSB0, items: [{name: a, item: led 1 2 3, every: 100}]}\n"
           "  - {name: m, device: /dev/ttyUSB0, items: [{name: a, item: led 1 2 3, every: 100}]}\n",
           4, 5, "one line, one device"},
    Faulty{"BadBaud", "topic-prefix: p\nlines:\n  - {name: l, device: sim, baud: 9601, items: []}\n",
           3, 34, "baud must be one of"},
    Faulty{"BadPort", "broker: {port: 0}\n", 1, 16, "from 1 to 65535"},
    Faulty{"HalfClientCertificate", "broker: {tls: {ca-file: c, cert-file: x}}\n", 1, 15, "together"},
    Faulty{"HttpListenNoPort", "http: {listen: 127.0.0.1}\n", 1, 16, "[ADDRESS:]PORT"},
    Faulty{"HttpOpenWithoutPassword", "http: {listen: 0.0.0.0:9650}\n", 1, 7, "password-file, or read-only"},
    Faulty{"HttpReadPasswordWithoutOne", "http: {read-password: true}\n", 1, 7, "needs password-file"},
    Faulty{"HttpHalfCertificate", "http: {tls: {cert-file: c}}\n", 1, 13, "cert-file and key-file"}),
    [](const testing::TestParamInfo<Faulty>& row) { return row.param.name; });
// clang-format on

}  // namespace
}  // namespace zephlor::gateway
