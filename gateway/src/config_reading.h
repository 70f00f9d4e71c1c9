// The inside of reading a configuration: the drafts each mapping is read into, the reader that
// collects every fault with its place in the file, and the key rows each mapping is read by.
#pragma once

#include <algorithm>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <yaml-cpp/yaml.h>

#include "config.h"

namespace zephlor::gateway {

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

// All that is said about one key: its name, what it takes (with {low} and {high} for a number's
// bounds), its bounds, what it does, and its default as a default configuration has it (empty
// when there is none to tell).
struct KeyFacts {
  const char* key;
  const char* takes;
  long long low;
  long long high;
  const char* does;
  std::string (*byDefault)();
};

// The key's `words` (what it takes, what it does) with its bounds and the speeds filled in.
std::string keyText(const char* words, const KeyFacts& facts);

class Reader {
 public:
  std::vector<ConfigProblem> problems;
  size_t faults = 0;
  size_t items = 0;  // read so far, across all lines

  void fault(const YAML::Mark& where, const std::string& message);
  bool scalar(const YAML::Node& node, const std::string& what, std::string& value);
  // A whole number within the key's bounds.
  bool number(const YAML::Node& node, const KeyFacts& key, long long& value);
  bool number(const YAML::Node& node, const std::string& what, const KeyFacts& key,
              long long& value);
  bool milliseconds(const YAML::Node& node, const KeyFacts& key, Milliseconds& value);
  bool flag(const YAML::Node& node, const KeyFacts& key, bool& value);
  bool name(const YAML::Node& node, const std::string& what, std::string& value);
  void publishMode(const YAML::Node& node, PublishSettings& settings);
  void heartbeat(const YAML::Node& node, const KeyFacts& key, PublishSettings& settings);
};

// A key of a mapping and how its value is read into the mapping's draft.
template <typename Draft>
struct KeyRow {
  KeyFacts facts;
  void (*read)(Reader& reader, const YAML::Node& value, Draft& draft, const KeyFacts& facts);
};

template <typename Draft>
using KeyRows = std::vector<KeyRow<Draft>>;

template <typename Draft>
void readMapping(Reader& reader, const YAML::Node& node, const std::string& what,
                 const KeyRows<Draft>& rows, Draft& draft) {
  if (!node.IsMap()) {
    reader.fault(node.Mark(), what + " must be a mapping of keys to values");
    return;
  }
  std::set<std::string> seen;
  for (auto entry = node.begin(); entry != node.end(); ++entry) {
    const std::string key = entry->first.IsScalar() ? entry->first.Scalar() : "";
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](const KeyRow<Draft>& r) { return key == r.facts.key; });
    if (row == rows.end()) {
      std::string keys;
      for (const KeyRow<Draft>& r : rows)
        keys += (keys.empty() ? "" : ", ") + std::string(r.facts.key);
      reader.fault(entry->first.Mark(),
                   "unknown key \"" + key + "\" in " + what + "; it takes " + keys);
    } else if (!seen.insert(key).second) {
      reader.fault(entry->first.Mark(), "key \"" + key + "\" is given twice in " + what);
    } else {
      row->read(reader, entry->second, draft, row->facts);
    }
  }
}

// A sequence of mappings, each read into a draft of its own.
template <typename Draft>
std::vector<Draft> readSequence(Reader& reader, const YAML::Node& node, const std::string& what,
                                const KeyRows<Draft>& rows, size_t most) {
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

// The keys of the configuration's top; those of the mappings below hang from them.
const KeyRows<TopDraft>& topKeys();

// Every mapping's keys, for the help and the README: the mapping's name and its keys' facts.
struct KeyTable {
  const char* mapping;
  std::vector<KeyFacts> keys;
};
std::vector<KeyTable> configKeyTables();

}  // namespace zephlor::gateway
