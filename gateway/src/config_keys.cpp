// The keys of each mapping of the configuration, one row each with all that is said about it:
// what it takes, its bounds, what it does, its default, and how it is read. The reader, the
// --help and the README's key table are all made from these rows.
#include <sstream>

#include "config_reading.h"
#include "topic_names.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_text/filled_in.h"
#include "zephlor_text/listen_address.h"
#include "zephlor_text/whole_number.h"

namespace zephlor::gateway {
namespace {

// Poll periods and heartbeats: at most 100 polls a second, at least one a day.
constexpr long long kShortestPeriod = 10;
constexpr long long kLongestPeriod = 24LL * 60 * 60 * 1000;

// What one file may ask for. YAML aliases let a few bytes name a list many times over; these
// bound the work, whatever the file's size.
constexpr size_t kMostLines = 1000;
constexpr size_t kMostItemsPerLine = 1000;
constexpr size_t kMostItems = 20000;

// MQTT over TLS, when no port is given.
constexpr int kTlsPort = 8883;

void readItemWords(Reader& reader, const YAML::Node& node, ItemDraft& draft, const KeyFacts&) {
  draft.hasItem = true;
  std::string text;
  if (!reader.scalar(node, "item", text)) return;
  std::istringstream stream(text);
  std::vector<std::string> words{std::istream_iterator<std::string>(stream), {}};
  size_t at = 0;
  std::string error;
  const std::optional<host::Item> item = host::parseItem(words, at, error);
  if (!item) {
    reader.fault(node.Mark(), "item \"" + text + "\": " + error);
  } else if (at != words.size()) {
    reader.fault(node.Mark(), "item \"" + text + "\": " + item->kind->name + " takes " +
                                  std::to_string(item->kind->addressCount) +
                                  " address numbers, and there are more");
  } else if (item->kind->kind == ItemKind::Modifier) {
    reader.fault(node.Mark(), "item \"" + text +
                                  "\": the level modifier is the driver's one value for every "
                                  "line of the gateway, not an item of a line");
  } else {
    draft.config.item = *item;
  }
}

// Defaults as a configuration that does not give the key has them.
std::string none() { return ""; }
std::string itemHeartbeat() { return std::to_string(ItemConfig{}.heartbeat.count()); }
std::string onChange() { return "on-change"; }
std::string itemWritable() { return ItemConfig{}.writable ? "true" : "false"; }
std::string lineBaud() { return std::to_string(LineConfig{}.baud); }
std::string lineTimeout() { return std::to_string(LineConfig{}.timeout.count()); }
std::string lineRetries() { return std::to_string(LineConfig{}.retries); }
std::string brokerHost() { return BrokerConfig{}.host; }
std::string brokerPort() {
  return std::to_string(BrokerConfig{}.port) + ", " + std::to_string(kTlsPort) + " with tls";
}
std::string clientId() { return "zephlor-gateway-HOSTNAME-NAME"; }
std::string discoveryPrefix() { return DiscoveryConfig{}.prefix; }
std::string httpListen() { return HttpConfig{}.listen; }
std::string httpUsername() { return HttpConfig{}.username; }
std::string no() { return "false"; }
std::string metricsEvery() { return std::to_string(GatewayConfig{}.metricsEvery.count()); }

// The publishing keys, the same at every level.
const KeyFacts kPublish = {"publish",
                           "on-change or every-poll",
                           0,
                           0,
                           "when a value is published: when it or its quality changes, and at "
                           "least every heartbeat; or every sample, with its time",
                           onChange};
const KeyFacts kHeartbeat = {"heartbeat",
                             "milliseconds, {low} to {high}",
                             1000,
                             kLongestPeriod,
                             "how often a value that does not change is published again",
                             itemHeartbeat};

template <typename Draft>
KeyRow<Draft> publishRow() {
  return {kPublish, [](Reader& r, const YAML::Node& v, Draft& d, const KeyFacts&) {
            r.publishMode(v, d.publish);
          }};
}
template <typename Draft>
KeyRow<Draft> heartbeatRow() {
  return {kHeartbeat, [](Reader& r, const YAML::Node& v, Draft& d, const KeyFacts& k) {
            r.heartbeat(v, k, d.publish);
          }};
}

// clang-format off
const KeyRows<ItemDraft> kItemKeys = {
    {{"name", "a topic level", 0, 0, "the item's name, the last level of its topics", none},
     [](Reader& r, const YAML::Node& v, ItemDraft& d, const KeyFacts&) { r.name(v, "the item's name", d.config.name); }},
    {{"item", "an item, such as station-level 1 2 3", 0, 0, "the kind and address numbers, as zephlorctl names items", none},
     readItemWords},
    {{"every", "milliseconds, {low} to {high}", kShortestPeriod, kLongestPeriod,
      "the poll period; needed for an item that can be read, refused for one that cannot", none},
     [](Reader& r, const YAML::Node& v, ItemDraft& d, const KeyFacts& k) {
       d.hasEvery = true;
       r.milliseconds(v, k, d.config.every); }},
    {{"writable", "true or false", 0, 0, "whether its set topic takes writes", itemWritable},
     [](Reader& r, const YAML::Node& v, ItemDraft& d, const KeyFacts& k) { r.flag(v, k, d.config.writable); }},
    publishRow<ItemDraft>(),
    heartbeatRow<ItemDraft>(),
    {{"unit", "text", 0, 0, "with discovery: the unit Home Assistant shows the value in", none},
     [](Reader& r, const YAML::Node& v, ItemDraft& d, const KeyFacts&) { r.scalar(v, "unit", d.config.unit); }},
    {{"device-class", "text", 0, 0, "with discovery: Home Assistant's device class, passed on as it stands", none},
     [](Reader& r, const YAML::Node& v, ItemDraft& d, const KeyFacts&) { r.scalar(v, "device-class", d.config.deviceClass); }},
    {{"label", "text", 0, 0, "with discovery: the name Home Assistant shows; the item's name when not given", none},
     [](Reader& r, const YAML::Node& v, ItemDraft& d, const KeyFacts&) { r.scalar(v, "label", d.config.label); }},
};

const KeyRows<LineDraft> kLineKeys = {
    {{"name", "a topic level", 0, 0, "the line's name, the level of its topics under the prefix", none},
     [](Reader& r, const YAML::Node& v, LineDraft& d, const KeyFacts&) { r.name(v, "the line's name", d.config.name); }},
    {{"device", "a device", 0, 0, "a serial device (/dev/ttyUSB0), a device server's raw TCP port "
      "(tcp:HOST:PORT) or telnet port (rfc2217:HOST:PORT), or sim for the built-in simulator", none},
     [](Reader& r, const YAML::Node& v, LineDraft& d, const KeyFacts&) {
       if (!r.scalar(v, "device", d.config.device)) return;
       const std::string problem = io::deviceNameProblem(d.config.device);
       if (!problem.empty()) r.fault(v.Mark(), problem); }},
    {{"baud", "one of {bauds}", 0, 0, "the line's speed; not for tcp:, whose speed the device server sets", lineBaud},
     [](Reader& r, const YAML::Node& v, LineDraft& d, const KeyFacts&) {
       std::string text;
       if (r.scalar(v, "baud", text) && !io::parseBaud(text, d.config.baud))
         r.fault(v.Mark(), "baud must be one of " + io::supportedBauds() + ", not \"" + text + "\""); }},
    {{"timeout", "milliseconds, {low} to {high}", 1, 60000,
      "how long to wait for a reply, and for the line to take a request", lineTimeout},
     [](Reader& r, const YAML::Node& v, LineDraft& d, const KeyFacts& k) { r.milliseconds(v, k, d.config.timeout); }},
    {{"retries", "a whole number, {low} to {high}", 0, 10,
      "how often a transaction is asked again after a missing or garbled reply", lineRetries},
     [](Reader& r, const YAML::Node& v, LineDraft& d, const KeyFacts& k) {
       long long retries = 0;
       if (r.number(v, k, retries)) d.config.retries = static_cast<int>(retries); }},
    {{"items", "a list of items", 0, 0, "the line's items (below)", none},
     [](Reader& r, const YAML::Node& v, LineDraft& d, const KeyFacts&) {
       if (v.IsSequence() && (r.items += v.size()) > kMostItems) {
         r.fault(v.Mark(), "at most " + std::to_string(kMostItems) + " items in all the lines together");
         return;
       }
       d.items = readSequence(r, v, "item", kItemKeys, kMostItemsPerLine); }},
    publishRow<LineDraft>(),
    heartbeatRow<LineDraft>(),
};

const KeyRows<TlsConfig> kTlsKeys = {
    {{"ca-file", "a file", 0, 0, "the authorities the broker's certificate is checked against; "
      "without ca-file and ca-path, the system's trust store", none},
     [](Reader& r, const YAML::Node& v, TlsConfig& t, const KeyFacts&) { r.scalar(v, "ca-file", t.caFile); }},
    {{"ca-path", "a folder", 0, 0, "a folder of such authorities, named by their hashes (c_rehash)", none},
     [](Reader& r, const YAML::Node& v, TlsConfig& t, const KeyFacts&) { r.scalar(v, "ca-path", t.caPath); }},
    {{"cert-file", "a file", 0, 0, "the gateway's client certificate, with key-file", none},
     [](Reader& r, const YAML::Node& v, TlsConfig& t, const KeyFacts&) { r.scalar(v, "cert-file", t.certFile); }},
    {{"key-file", "a file", 0, 0, "the client certificate's private key, with cert-file", none},
     [](Reader& r, const YAML::Node& v, TlsConfig& t, const KeyFacts&) { r.scalar(v, "key-file", t.keyFile); }},
};

const KeyRows<BrokerConfig> kBrokerKeys = {
    {{"host", "a host name or address", 0, 0, "the broker's host", brokerHost},
     [](Reader& r, const YAML::Node& v, BrokerConfig& b, const KeyFacts&) {
       if (r.scalar(v, "host", b.host) && b.host.empty()) r.fault(v.Mark(), "host is empty"); }},
    {{"port", "a whole number, {low} to {high}", 1, 65535, "the broker's port", brokerPort},
     [](Reader& r, const YAML::Node& v, BrokerConfig& b, const KeyFacts& k) {
       long long port = 0;
       if (r.number(v, k, port)) b.port = static_cast<int>(port); }},
    {{"client-id", "text", 0, 0, "the gateway's client id at the broker; NAME is CONFIG's file name "
      "without its extension", clientId},
     [](Reader& r, const YAML::Node& v, BrokerConfig& b, const KeyFacts&) {
       if (r.scalar(v, "client-id", b.clientId) && b.clientId.empty()) r.fault(v.Mark(), "client-id is empty"); }},
    {{"username", "text", 0, 0, "the user name at the broker", none},
     [](Reader& r, const YAML::Node& v, BrokerConfig& b, const KeyFacts&) { r.scalar(v, "username", b.username); }},
    {{"password-file", "a file", 0, 0, "the password, on the file's first line; never in CONFIG itself", none},
     [](Reader& r, const YAML::Node& v, BrokerConfig& b, const KeyFacts&) { r.scalar(v, "password-file", b.passwordFile); }},
    {{"tls", "a mapping", 0, 0, "TLS to the broker (below); tls: {} checks the broker against the "
      "system's trust store", none},
     [](Reader& r, const YAML::Node& v, BrokerConfig& b, const KeyFacts&) {
       TlsConfig& tls = b.tls.emplace();
       readMapping(r, v, "tls", kTlsKeys, tls);
       if (tls.certFile.empty() != tls.keyFile.empty()) r.fault(v.Mark(), "tls needs cert-file and key-file together, or neither"); }},
};

const KeyRows<DiscoveryConfig> kDiscoveryKeys = {
    {{"prefix", "topic levels", 0, 0, "where Home Assistant looks for discovery configs", discoveryPrefix},
     [](Reader& r, const YAML::Node& v, DiscoveryConfig& c, const KeyFacts&) {
       if (!r.scalar(v, "prefix", c.prefix)) return;
       const std::string problem = topicPrefixProblem(c.prefix);
       if (!problem.empty()) r.fault(v.Mark(), "prefix \"" + c.prefix + "\": " + problem); }},
};

const KeyRows<HttpConfig> kHttpTlsKeys = {
    {{"cert-file", "a file", 0, 0, "the page's certificate, with key-file (PEM)", none},
     [](Reader& r, const YAML::Node& v, HttpConfig& h, const KeyFacts&) { r.scalar(v, "cert-file", h.certFile); }},
    {{"key-file", "a file", 0, 0, "the certificate's private key, with cert-file (PEM)", none},
     [](Reader& r, const YAML::Node& v, HttpConfig& h, const KeyFacts&) { r.scalar(v, "key-file", h.keyFile); }},
};

const KeyRows<HttpConfig> kHttpKeys = {
    {{"listen", "[ADDRESS:]PORT", 0, 0, "where the page, its events and the metrics are served; "
      "an address other than loopback needs password-file or read-only", httpListen},
     [](Reader& r, const YAML::Node& v, HttpConfig& h, const KeyFacts&) {
       if (!r.scalar(v, "listen", h.listen)) return;
       if (!text::parseListenAddress(h.listen, 1, h.address, h.port))
         r.fault(v.Mark(), "listen must be [ADDRESS:]PORT, the port 1 to 65535, not \"" + h.listen + "\""); }},
    {{"username", "text", 0, 0, "the user name that goes with the password", httpUsername},
     [](Reader& r, const YAML::Node& v, HttpConfig& h, const KeyFacts&) { r.scalar(v, "username", h.username); }},
    {{"password-file", "a file", 0, 0, "the password (HTTP basic authentication) that writes from the "
      "page need, on the file's first line; without it there are no writes", none},
     [](Reader& r, const YAML::Node& v, HttpConfig& h, const KeyFacts&) { r.scalar(v, "password-file", h.passwordFile); }},
    {{"read-password", "true or false", 0, 0, "whether the page, its events and the metrics need the "
      "password too", no},
     [](Reader& r, const YAML::Node& v, HttpConfig& h, const KeyFacts& k) { r.flag(v, k, h.readPassword); }},
    {{"read-only", "true or false", 0, 0, "no writes from the page, whatever else is set", no},
     [](Reader& r, const YAML::Node& v, HttpConfig& h, const KeyFacts& k) { r.flag(v, k, h.readOnly); }},
    {{"tls", "a mapping", 0, 0, "HTTPS (below) in the place of plain HTTP", none},
     [](Reader& r, const YAML::Node& v, HttpConfig& h, const KeyFacts&) {
       readMapping(r, v, "http's tls", kHttpTlsKeys, h);
       if (h.certFile.empty() || h.keyFile.empty()) r.fault(v.Mark(), "http's tls needs cert-file and key-file"); }},
};

// The HTTP port's settings that only make sense together.
void checkHttp(Reader& reader, const YAML::Node& node, const HttpConfig& http) {
  if (http.readPassword && http.passwordFile.empty()) {
    reader.fault(node.Mark(), "http's read-password needs password-file");
  }
  if (!text::isLoopbackAddress(http.address) && http.passwordFile.empty() && !http.readOnly) {
    reader.fault(node.Mark(),
                 "http listens on " + http.listen +
                     ", which other machines reach: give it password-file, or read-only: true "
                     "to serve the page and the metrics to anyone who reaches it");
  }
}

const KeyRows<TopDraft> kTopKeys = {
    {{"broker", "a mapping", 0, 0, "the broker and how to reach it (below)", none},
     [](Reader& r, const YAML::Node& v, TopDraft& d, const KeyFacts&) {
       BrokerConfig& broker = d.config.broker;
       readMapping(r, v, "broker", kBrokerKeys, broker);
       if (broker.tls && v.IsMap() && !v["port"]) broker.port = kTlsPort; }},
    {{"topic-prefix", "topic levels", 0, 0, "the first levels of every topic, such as zephlor/site-a; needed", none},
     [](Reader& r, const YAML::Node& v, TopDraft& d, const KeyFacts&) {
       d.hasPrefix = true;
       if (!r.scalar(v, "topic-prefix", d.config.topicPrefix)) return;
       const std::string problem = topicPrefixProblem(d.config.topicPrefix);
       if (!problem.empty()) r.fault(v.Mark(), "topic-prefix \"" + d.config.topicPrefix + "\": " + problem); }},
    {{"lines", "a list of lines", 0, 0, "the lines (below); needed", none},
     [](Reader& r, const YAML::Node& v, TopDraft& d, const KeyFacts&) { d.hasLines = true; d.lines = readSequence(r, v, "line", kLineKeys, kMostLines); }},
    {{"discovery", "a mapping", 0, 0, "Home Assistant's MQTT discovery (below): a retained config "
      "for every item, so each line is a device there and each item an entity", none},
     [](Reader& r, const YAML::Node& v, TopDraft& d, const KeyFacts&) {
       readMapping(r, v, "discovery", kDiscoveryKeys, d.config.discovery.emplace()); }},
    {{"http", "a mapping", 0, 0, "the HTTP port (below): Prometheus metrics on /metrics, a live page "
      "of every line on /, and writes from it", none},
     [](Reader& r, const YAML::Node& v, TopDraft& d, const KeyFacts&) {
       HttpConfig& http = d.config.http.emplace();
       readMapping(r, v, "http", kHttpKeys, http);
       if (v.IsMap()) checkHttp(r, v, http); }},
    publishRow<TopDraft>(),
    heartbeatRow<TopDraft>(),
    {{"metrics-every", "milliseconds, {low} to {high}", 0, kLongestPeriod,
      "how often the metrics are published; 0 for never", metricsEvery},
     [](Reader& r, const YAML::Node& v, TopDraft& d, const KeyFacts& k) { r.milliseconds(v, k, d.config.metricsEvery); }},
};
// clang-format on

template <typename Draft>
std::vector<KeyFacts> factsOf(const KeyRows<Draft>& rows) {
  std::vector<KeyFacts> facts;
  for (const KeyRow<Draft>& row : rows) facts.push_back(row.facts);
  return facts;
}

}  // namespace

std::string keyText(const char* words, const KeyFacts& facts) {
  return text::filledIn(words, {{"low", std::to_string(facts.low)},
                                {"high", std::to_string(facts.high)},
                                {"bauds", io::supportedBauds()}});
}

const KeyRows<TopDraft>& topKeys() { return kTopKeys; }

std::vector<KeyTable> configKeyTables() {
  return {{"the top", factsOf(kTopKeys)}, {"broker", factsOf(kBrokerKeys)},
          {"tls", factsOf(kTlsKeys)},     {"discovery", factsOf(kDiscoveryKeys)},
          {"http", factsOf(kHttpKeys)},   {"http's tls", factsOf(kHttpTlsKeys)},
          {"a line", factsOf(kLineKeys)}, {"an item", factsOf(kItemKeys)}};
}

}  // namespace zephlor::gateway
