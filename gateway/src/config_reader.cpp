// Reading the configuration: each mapping by its key rows, every fault collected with its place
// in the file so one run shows them all, then what only a whole line or item can be judged by.
#include <map>

#include "config_reading.h"
#include "topic_names.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_text/whole_number.h"

namespace zephlor::gateway {

void Reader::fault(const YAML::Mark& where, const std::string& message) {
  if (++faults <= kMostFaultsKept) problems.push_back({where.line + 1, where.column + 1, message});
}

bool Reader::scalar(const YAML::Node& node, const std::string& what, std::string& value) {
  if (!node.IsScalar()) {
    fault(node.Mark(), what + " must be a single value");
    return false;
  }
  value = node.Scalar();
  return true;
}

bool Reader::number(const YAML::Node& node, const KeyFacts& key, long long& value) {
  return number(node, key.key, key, value);
}

bool Reader::number(const YAML::Node& node, const std::string& what, const KeyFacts& key,
                    long long& value) {
  std::string text;
  if (!scalar(node, what, text)) return false;
  if (!text::parseBounded(text, key.low, key.high, value)) {
    fault(node.Mark(), what + " must be a whole number from " + std::to_string(key.low) + " to " +
                           std::to_string(key.high) + ", not \"" + text + "\"");
    return false;
  }
  return true;
}

bool Reader::milliseconds(const YAML::Node& node, const KeyFacts& key, Milliseconds& value) {
  long long count = 0;
  if (!number(node, std::string(key.key) + " (milliseconds)", key, count)) return false;
  value = Milliseconds(count);
  return true;
}

bool Reader::flag(const YAML::Node& node, const KeyFacts& key, bool& value) {
  const std::string what = key.key;
  std::string text;
  if (!scalar(node, what, text)) return false;
  if (text == "true" || text == "false") {
    value = text == "true";
    return true;
  }
  fault(node.Mark(), what + " must be true or false, not \"" + text + "\"");
  return false;
}

bool Reader::name(const YAML::Node& node, const std::string& what, std::string& value) {
  if (!scalar(node, what, value)) return false;
  const std::string problem = topicLevelProblem(value);
  if (!problem.empty()) {
    fault(node.Mark(), what + " \"" + value + "\" cannot be a topic level: " + problem);
    return false;
  }
  return true;
}

void Reader::publishMode(const YAML::Node& node, PublishSettings& settings) {
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

void Reader::heartbeat(const YAML::Node& node, const KeyFacts& key, PublishSettings& settings) {
  Milliseconds period{0};
  if (milliseconds(node, key, period)) settings.heartbeat = period;
}

namespace {

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
  readMapping(reader, root, "the configuration", topKeys(), top);
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

}  // namespace zephlor::gateway
