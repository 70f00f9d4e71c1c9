// Reading the configuration: a table of keys for each kind of mapping, each key with its reader,
// so what a mapping takes and what its help says come from one place. Every fault is collected
// with its place in the file, so one run shows them all.
#include <algorithm>
#include <map>
#include <set>
#include <sstream>

#include <yaml-cpp/yaml.h>

#include "config.h"
#include "topic_names.h"
#include "zephlor_io/serial_port.h"
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
// Faults kept in full; beyond them only counted.
constexpr size_t kMostFaultsKept = 1000;

// Publishing as a level of the file sets it (top, line, item); the nearest level given holds.
struct PublishSettings {
  std::optional<PublishMode> mode;
  std::optional<Milliseconds> heartbeat;

  PublishSettings over(const PublishSettings& outer) const {
    return {mode ? mode : outer.mode, heartbeat ? heartbeat : outer.heartbeat};
  }
};

struct ItemDraft {
  ItemConfig config;
  PublishSettings publish;
  bool hasEvery = false;
  bool hasItem = false;
  YAML::Mark where;
};

struct LineDraft {
  LineConfig config;
  PublishSettings publish;
  std::vector<ItemDraft> items;
  YAML::Mark where;
};

struct TopDraft {
  GatewayConfig config;
  PublishSettings publish;
  std::vector<LineDraft> lines;
  bool hasPrefix = false;
  bool hasLines = false;
};

class Reader {
 public:
  std::vector<ConfigProblem> problems;
  size_t faults = 0;
  size_t items = 0;  // read so far, across all lines

  void fault(const YAML::Mark& where, const std::string& message) {
    if (++faults <= kMostFaultsKept)
      problems.push_back({where.line + 1, where.column + 1, message});
  }

  bool scalar(const YAML::Node& node, const std::string& what, std::string& value) {
    if (!node.IsScalar()) {
      fault(node.Mark(), what + " must be a single value");
      return false;
    }
    value = node.Scalar();
    return true;
  }

  bool number(const YAML::Node& node, const std::string& what, long long low, long long high,
              long long& value) {
    std::string text;
    if (!scalar(node, what, text)) return false;
    if (!text::parseBounded(text, low, high, value)) {
      fault(node.Mark(), what + " must be a whole number from " + std::to_string(low) + " to " +
                             std::to_string(high) + ", not \"" + text + "\"");
      return false;
    }
    return true;
  }

  bool milliseconds(const YAML::Node& node, const std::string& what, long long low, long long high,
                    Milliseconds& value) {
    long long count = 0;
    if (!number(node, what + " (milliseconds)", low, high, count)) return false;
    value = Milliseconds(count);
    return true;
  }

  bool flag(const YAML::Node& node, const std::string& what, bool& value) {
    std::string text;
    if (!scalar(node, what, text)) return false;
    if (text == "true" || text == "false") {
      value = text == "true";
      return true;
    }
    fault(node.Mark(), what + " must be true or false, not \"" + text + "\"");
    return false;
  }

  bool name(const YAML::Node& node, const std::string& what, std::string& value) {
    if (!scalar(node, what, value)) return false;
    const std::string problem = topicLevelProblem(value);
    if (!problem.empty()) {
      fault(node.Mark(), what + " \"" + value + "\" cannot be a topic level: " + problem);
      return false;
    }
    return true;
  }

  void publishMode(const YAML::Node& node, PublishSettings& settings) {
    std::string text;
    if (!scalar(node, "publish", text)) return;
    if (text == "on-change") {
      settings.mode = PublishMode::kOnChange;
    } else if (text == "every-poll") {
      settings.mode = PublishMode::kEveryPoll;
    } else {
      fault(node.Mark(), "publish must be on-change or every-poll, not \"" + text + "\"");
    }
  }

  void heartbeat(const YAML::Node& node, PublishSettings& settings) {
    Milliseconds period{0};
    if (milliseconds(node, "heartbeat", 1000, kLongestPeriod, period)) settings.heartbeat = period;
  }
};

// A key of a mapping and how its value is read into the mapping's draft.
template <typename Draft>
struct KeyRow {
  const char* key;
  void (*read)(Reader& reader, const YAML::Node& value, Draft& draft);
};

template <typename Draft, size_t N>
void readMapping(Reader& reader, const YAML::Node& node, const std::string& what,
                 const KeyRow<Draft> (&rows)[N], Draft& draft) {
  if (!node.IsMap()) {
    reader.fault(node.Mark(), what + " must be a mapping of keys to values");
    return;
  }
  std::set<std::string> seen;
  for (auto entry = node.begin(); entry != node.end(); ++entry) {
    const std::string key = entry->first.IsScalar() ? entry->first.Scalar() : "";
    const auto row = std::find_if(std::begin(rows), std::end(rows),
                                  [&](const KeyRow<Draft>& r) { return key == r.key; });
    if (row == std::end(rows)) {
      std::string keys;
      for (const KeyRow<Draft>& r : rows) keys += std::string(keys.empty() ? "" : ", ") + r.key;
      reader.fault(entry->first.Mark(),
                   "unknown key \"" + key + "\" in " + what + "; it takes " + keys);
    } else if (!seen.insert(key).second) {
      reader.fault(entry->first.Mark(), "key \"" + key + "\" is given twice in " + what);
    } else {
      row->read(reader, entry->second, draft);
    }
  }
}

// A sequence of mappings, each read into a draft of its own.
template <typename Draft, size_t N>
std::vector<Draft> readSequence(Reader& reader, const YAML::Node& node, const std::string& what,
                                const KeyRow<Draft> (&rows)[N], size_t most) {
  std::vector<Draft> drafts;
  if (!node.IsSequence() || node.size() == 0) {
    reader.fault(node.Mark(), what + "s must be a list of at least one " + what);
    return drafts;
  }
  if (node.size() > most) {
    reader.fault(node.Mark(), "at most " + std::to_string(most) + " " + what + "s, not " +
                                  std::to_string(node.size()));
    return drafts;
  }
  for (const YAML::Node& element : node) {
    Draft& draft = drafts.emplace_back();
    draft.where = element.Mark();
    const bool vowel = std::string("aeiou").find(what.front()) != std::string::npos;
    readMapping(reader, element, (vowel ? "an " : "a ") + what, rows, draft);
  }
  return drafts;
}

void readItemWords(Reader& reader, const YAML::Node& node, ItemDraft& draft) {
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

// clang-format off
const KeyRow<ItemDraft> kItemKeys[] = {
    {"name", [](Reader& r, const YAML::Node& v, ItemDraft& d) { r.name(v, "the item's name", d.config.name); }},
    {"item", readItemWords},
    {"every", [](Reader& r, const YAML::Node& v, ItemDraft& d) {
       d.hasEvery = true;
       r.milliseconds(v, "every", kShortestPeriod, kLongestPeriod, d.config.every); }},
    {"writable", [](Reader& r, const YAML::Node& v, ItemDraft& d) { r.flag(v, "writable", d.config.writable); }},
    {"publish", [](Reader& r, const YAML::Node& v, ItemDraft& d) { r.publishMode(v, d.publish); }},
    {"heartbeat", [](Reader& r, const YAML::Node& v, ItemDraft& d) { r.heartbeat(v, d.publish); }},
};

const KeyRow<LineDraft> kLineKeys[] = {
    {"name", [](Reader& r, const YAML::Node& v, LineDraft& d) { r.name(v, "the line's name", d.config.name); }},
    {"device", [](Reader& r, const YAML::Node& v, LineDraft& d) {
       if (!r.scalar(v, "device", d.config.device)) return;
       const std::string problem = io::deviceNameProblem(d.config.device);
       if (!problem.empty()) r.fault(v.Mark(), problem); }},
    {"baud", [](Reader& r, const YAML::Node& v, LineDraft& d) {
       std::string text;
       if (r.scalar(v, "baud", text) && !io::parseBaud(text, d.config.baud))
         r.fault(v.Mark(), "baud must be one of " + io::supportedBauds() + ", not \"" + text + "\""); }},
    {"timeout", [](Reader& r, const YAML::Node& v, LineDraft& d) { r.milliseconds(v, "timeout", 1, 60000, d.config.timeout); }},
    {"retries", [](Reader& r, const YAML::Node& v, LineDraft& d) {
       long long retries = 0;
       if (r.number(v, "retries", 0, 10, retries)) d.config.retries = static_cast<int>(retries); }},
    {"items", [](Reader& r, const YAML::Node& v, LineDraft& d) {
       if (v.IsSequence() && (r.items += v.size()) > kMostItems) {
         r.fault(v.Mark(), "at most " + std::to_string(kMostItems) + " items in all the lines together");
         return;
       }
       d.items = readSequence(r, v, "item", kItemKeys, kMostItemsPerLine); }},
    {"publish", [](Reader& r, const YAML::Node& v, LineDraft& d) { r.publishMode(v, d.publish); }},
    {"heartbeat", [](Reader& r, const YAML::Node& v, LineDraft& d) { r.heartbeat(v, d.publish); }},
};

const KeyRow<TlsConfig> kTlsKeys[] = {
    {"ca-file", [](Reader& r, const YAML::Node& v, TlsConfig& t) { r.scalar(v, "ca-file", t.caFile); }},
    {"cert-file", [](Reader& r, const YAML::Node& v, TlsConfig& t) { r.scalar(v, "cert-file", t.certFile); }},
    {"key-file", [](Reader& r, const YAML::Node& v, TlsConfig& t) { r.scalar(v, "key-file", t.keyFile); }},
};

const KeyRow<BrokerConfig> kBrokerKeys[] = {
    {"host", [](Reader& r, const YAML::Node& v, BrokerConfig& b) {
       if (r.scalar(v, "host", b.host) && b.host.empty()) r.fault(v.Mark(), "host is empty"); }},
    {"port", [](Reader& r, const YAML::Node& v, BrokerConfig& b) {
       long long port = 0;
       if (r.number(v, "port", 1, 65535, port)) b.port = static_cast<int>(port); }},
    {"client-id", [](Reader& r, const YAML::Node& v, BrokerConfig& b) {
       if (r.scalar(v, "client-id", b.clientId) && b.clientId.empty()) r.fault(v.Mark(), "client-id is empty"); }},
    {"username", [](Reader& r, const YAML::Node& v, BrokerConfig& b) { r.scalar(v, "username", b.username); }},
    {"password-file", [](Reader& r, const YAML::Node& v, BrokerConfig& b) { r.scalar(v, "password-file", b.passwordFile); }},
    {"tls", [](Reader& r, const YAML::Node& v, BrokerConfig& b) {
       TlsConfig& tls = b.tls.emplace();
       readMapping(r, v, "tls", kTlsKeys, tls);
       if (tls.caFile.empty()) r.fault(v.Mark(), "tls needs ca-file, the authority the broker's certificate is checked against");
       if (tls.certFile.empty() != tls.keyFile.empty()) r.fault(v.Mark(), "tls needs cert-file and key-file together, or neither"); }},
};

const KeyRow<TopDraft> kTopKeys[] = {
    {"broker", [](Reader& r, const YAML::Node& v, TopDraft& d) { readMapping(r, v, "broker", kBrokerKeys, d.config.broker); }},
    {"topic-prefix", [](Reader& r, const YAML::Node& v, TopDraft& d) {
       d.hasPrefix = true;
       if (!r.scalar(v, "topic-prefix", d.config.topicPrefix)) return;
       const std::string problem = topicPrefixProblem(d.config.topicPrefix);
       if (!problem.empty()) r.fault(v.Mark(), "topic-prefix \"" + d.config.topicPrefix + "\": " + problem); }},
    {"lines", [](Reader& r, const YAML::Node& v, TopDraft& d) { d.hasLines = true; d.lines = readSequence(r, v, "line", kLineKeys, kMostLines); }},
    {"publish", [](Reader& r, const YAML::Node& v, TopDraft& d) { r.publishMode(v, d.publish); }},
    {"heartbeat", [](Reader& r, const YAML::Node& v, TopDraft& d) { r.heartbeat(v, d.publish); }},
    {"metrics-every", [](Reader& r, const YAML::Node& v, TopDraft& d) {
       long long every = 0;
       if (r.number(v, "metrics-every (milliseconds, 0 for none)", 0, kLongestPeriod, every)) d.config.metricsEvery = Milliseconds(every); }},
};
// clang-format on

// A line's or an item's name: given, and not one whose topic the gateway or a line keeps for
// its status (`reservedFor` says whose).
void checkName(Reader& reader, const YAML::Mark& where, const std::string& what,
               const std::string& name, bool reserved, const char* reservedFor) {
  if (name.empty()) reader.fault(where, what + " needs a name");
  if (reserved) {
    reader.fault(where, what + " cannot be named \"" + name + "\": that topic is " + reservedFor);
  }
}

// What only a whole item can be judged by: its kind against its period and writability.
void finishItem(Reader& reader, ItemDraft& draft, const PublishSettings& outer) {
  ItemConfig& item = draft.config;
  checkName(reader, draft.where, "an item", item.name, isReservedItemName(item.name),
            "the line's status");
  const PublishSettings publish = draft.publish.over(outer);
  item.publish = publish.mode.value_or(PublishMode::kOnChange);
  item.heartbeat = publish.heartbeat.value_or(item.heartbeat);
  const host::KindInfo* kind = item.item.kind;
  if (kind == nullptr) {  // no item, or one already refused
    if (!draft.hasItem) {
      reader.fault(draft.where,
                   "item " + item.name + " needs an item, such as station-level 1 2 3");
    }
    return;
  }
  const std::string what = "item " + item.name + " (" + item.item.describe() + ")";
  if (kind->readable && !draft.hasEvery) {
    reader.fault(draft.where, what + " needs every: its poll period in milliseconds");
  }
  if (!kind->readable && draft.hasEvery) {
    reader.fault(draft.where, what + " is write only and cannot be polled; leave out every");
  }
  if (!kind->readable && !item.writable) {
    reader.fault(draft.where, what + " is write only; it needs writable: true");
  }
  if (item.writable && !kind->writable) {
    reader.fault(draft.where, what + " cannot be written");
  }
}

void finishLine(Reader& reader, LineDraft& draft, const PublishSettings& outer) {
  LineConfig& line = draft.config;
  checkName(reader, draft.where, "a line", line.name, isReservedLineName(line.name),
            "the gateway's own");
  if (line.device.empty()) {
    reader.fault(draft.where, "line " + line.name +
                                  " needs a device (a serial device, "
                                  "tcp:HOST:PORT, rfc2217:HOST:PORT, or sim)");
  }
  if (draft.items.empty()) reader.fault(draft.where, "line " + line.name + " needs items");
  const PublishSettings lineSettings = draft.publish.over(outer);
  std::map<std::string, int> names;
  for (ItemDraft& item : draft.items) {
    finishItem(reader, item, lineSettings);
    if (!item.config.name.empty() && !names.emplace(item.config.name, item.where.line).second) {
      reader.fault(item.where, "line " + line.name + " has two items named " + item.config.name +
                                   " (the first on line " +
                                   std::to_string(names[item.config.name] + 1) + ")");
    }
    line.items.push_back(item.config);
  }
}

}  // namespace

ConfigReading readConfig(const std::string& yamlText) {
  Reader reader;
  YAML::Node root;
  try {
    root = YAML::Load(yamlText);
  } catch (const YAML::Exception& failure) {
    reader.fault(failure.mark, "not YAML: " + failure.msg);
    return {std::nullopt, reader.problems, reader.faults};
  }
  TopDraft top;
  readMapping(reader, root, "the configuration", kTopKeys, top);
  if (root.IsMap()) {
    if (!top.hasPrefix) reader.fault(root.Mark(), "the configuration needs topic-prefix");
    if (!top.hasLines) reader.fault(root.Mark(), "the configuration needs lines");
  }
  std::map<std::string, int> lineNames;
  std::map<std::string, std::string> devices;
  for (LineDraft& line : top.lines) {
    finishLine(reader, line, top.publish);
    const LineConfig& config = line.config;
    if (!config.name.empty() && !lineNames.emplace(config.name, line.where.line).second) {
      reader.fault(line.where, "two lines are named " + config.name + " (the first on line " +
                                   std::to_string(lineNames[config.name] + 1) + ")");
    }
    // A serial device is one line; a device server may serve one connection or several, as
    // zephlor-sim does, so only serial devices are refused twice.
    if (!config.device.empty() && !config.simulated() && !io::isNetworkDevice(config.device) &&
        !devices.emplace(config.device, config.name).second) {
      reader.fault(line.where, "line " + config.name + " has the serial device of line " +
                                   devices[config.device] + ": one line, one device");
    }
    top.config.lines.push_back(config);
  }
  std::stable_sort(reader.problems.begin(), reader.problems.end(),
                   [](const ConfigProblem& a, const ConfigProblem& b) {
                     return std::tie(a.line, a.column) < std::tie(b.line, b.column);
                   });
  if (!reader.problems.empty()) return {std::nullopt, reader.problems, reader.faults};
  return {top.config, {}, 0};
}

bool operator==(const ItemConfig& a, const ItemConfig& b) {
  return std::tie(a.name, a.item.kind, a.item.addresses, a.every, a.writable, a.publish,
                  a.heartbeat) == std::tie(b.name, b.item.kind, b.item.addresses, b.every,
                                           b.writable, b.publish, b.heartbeat);
}

bool operator==(const LineConfig& a, const LineConfig& b) {
  return std::tie(a.name, a.device, a.baud, a.timeout, a.retries, a.items) ==
         std::tie(b.name, b.device, b.baud, b.timeout, b.retries, b.items);
}

bool operator==(const TlsConfig& a, const TlsConfig& b) {
  return std::tie(a.caFile, a.certFile, a.keyFile) == std::tie(b.caFile, b.certFile, b.keyFile);
}

bool operator==(const BrokerConfig& a, const BrokerConfig& b) {
  return std::tie(a.host, a.port, a.clientId, a.username, a.passwordFile, a.tls) ==
         std::tie(b.host, b.port, b.clientId, b.username, b.passwordFile, b.tls);
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
