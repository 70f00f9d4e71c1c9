// The gateway's configuration: the broker, the topic prefix, and the lines with the items each
// polls, read from a YAML file and refused whole, with every fault's line and column, before
// anything connects.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

#include "zephlor_host/item_names.h"
#include "zephlor_line/line_session.h"

namespace zephlor::gateway {

using Milliseconds = std::chrono::milliseconds;

enum class PublishMode {
  kOnChange,   // when the value or its quality changes, and at least every heartbeat
  kEveryPoll,  // every sample, with its time
};

struct ItemConfig {
  std::string name;  // its topic level
  host::Item item;
  Milliseconds every{0};  // the poll period; 0 for a write-only item, which is never polled
  bool writable = false;
  PublishMode publish = PublishMode::kOnChange;
  Milliseconds heartbeat{60000};
  // What Home Assistant shows of it, when discovery is on; empty for none (the name stands for
  // the label).
  std::string unit;
  std::string deviceClass;
  std::string label;
};

struct LineConfig {
  std::string name;    // its topic level
  std::string device;  // a serial device, tcp:HOST:PORT, rfc2217:HOST:PORT, or "sim"
  int baud = 9600;
  Milliseconds timeout{1000};
  int retries = 0;  // asked again this often after a missing or garbled reply
  std::vector<ItemConfig> items;

  bool simulated() const { return device == kSimulatedDevice; }
  static constexpr const char* kSimulatedDevice = line::kBuiltInSimulator;
};

struct TlsConfig {
  // The authorities the broker's certificate is checked against: a file, a folder of them, or
  // with neither the system's own.
  std::string caFile;
  std::string caPath;
  std::string certFile;  // with keyFile, for a client certificate; both or neither
  std::string keyFile;
};

struct BrokerConfig {
  std::string host = "127.0.0.1";
  int port = 1883;       // 8883 with TLS, unless given
  std::string clientId;  // zephlor-gateway-HOSTNAME when not given
  std::string username;
  std::string passwordFile;  // the password is never in the configuration itself
  std::optional<TlsConfig> tls;
};

// Home Assistant's MQTT discovery: a retained config for every item under `prefix`.
struct DiscoveryConfig {
  std::string prefix = "homeassistant";
};

// The HTTP port: the metrics, the live page and its events, and writes from the page.
struct HttpConfig {
  std::string listen = "127.0.0.1:9650";  // as given, for messages
  std::string address = "127.0.0.1";
  int port = 9650;
  std::string username = "operator";
  std::string passwordFile;   // writes need the password; without one they are off
  bool readPassword = false;  // the page, its events and the metrics need it too
  bool readOnly = false;      // no writes, whatever else is set
  std::string certFile;       // HTTPS with these two; plain HTTP without
  std::string keyFile;

  bool writes() const { return !readOnly && !passwordFile.empty(); }
  bool https() const { return !certFile.empty(); }
};

struct GatewayConfig {
  BrokerConfig broker;
  std::string topicPrefix;
  std::optional<DiscoveryConfig> discovery;  // off unless given
  std::optional<HttpConfig> http;            // off unless given
  std::vector<LineConfig> lines;
  Milliseconds metricsEvery{10000};  // 0: no metrics
};

// One fault of a configuration, where it is: line and column count from 1.
struct ConfigProblem {
  int line = 0;
  int column = 0;
  std::string message;
};

struct ConfigReading {
  std::optional<GatewayConfig> config;  // only when there are no problems
  std::vector<ConfigProblem> problems;  // in the file's order; the first thousand of them
  size_t faultCount = 0;                // all of them
};

// The largest configuration file read.
constexpr size_t kLargestConfigFile = 1024 * 1024;

// Whether a reload leaves a line, or the broker connection, as it is: every setting the same.
bool operator==(const ItemConfig& a, const ItemConfig& b);
bool operator==(const LineConfig& a, const LineConfig& b);
bool operator==(const TlsConfig& a, const TlsConfig& b);
bool operator==(const BrokerConfig& a, const BrokerConfig& b);
bool operator==(const HttpConfig& a, const HttpConfig& b);

// Reads a configuration from its YAML text.
ConfigReading readConfig(const std::string& yamlText);

// The configuration's keys, mapping by mapping, with what each takes, its default and what it
// does: as --help tells them, and as the README's Markdown table.
std::string configKeysHelp();
std::string configKeysTable();

// The configuration --sim runs without a file: one simulated line with a few items.
GatewayConfig simulatedConfig();

}  // namespace zephlor::gateway
