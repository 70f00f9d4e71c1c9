#include "topic_names.h"

#include <sstream>
#include <vector>

#include "discovery.h"
#include "zephlor_text/help_rows.h"

namespace zephlor::gateway {

std::string topicLevelProblem(const std::string& level) {
  if (level.empty()) return "it is empty";
  for (const char c : level) {
    if (c == '/') return "it holds a /, which separates topic levels";
    if (c == '+' || c == '#') return std::string("it holds the wildcard ") + c;
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return "it holds a control character";
  }
  return "";
}

std::string topicPrefixProblem(const std::string& prefix) {
  if (prefix.empty()) return "it is empty";
  if (prefix.front() == '$') return "topics that start with $ are the broker's own";
  size_t start = 0;
  for (;;) {
    const size_t end = prefix.find('/', start);
    const std::string level = prefix.substr(start, end - start);
    if (level.empty()) return "it has an empty level (a leading, trailing or double /)";
    const std::string problem = topicLevelProblem(level);
    if (!problem.empty()) return "its level \"" + level + "\": " + problem;
    if (end == std::string::npos) return "";
    start = end + 1;
  }
}

namespace {

const TopicRow& rowOf(TopicKind kind) { return kTopicRows[static_cast<size_t>(kind)]; }

// The levels of `text`, split at '/'.
std::vector<std::string> levelsOf(const std::string& text) {
  std::vector<std::string> levels;
  size_t start = 0;
  for (;;) {
    const size_t end = text.find('/', start);
    levels.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return levels;
    start = end + 1;
  }
}

// Whether `name` is a fixed level of some topic where another topic has `placeholder`.
bool takenWhere(const char* placeholder, const std::string& name) {
  for (const TopicRow& row : kTopicRows) {
    const std::vector<std::string> levels = levelsOf(row.pattern);
    for (const TopicRow& other : kTopicRows) {
      const std::vector<std::string> others = levelsOf(other.pattern);
      for (size_t i = 0; i < levels.size() && i < others.size(); ++i) {
        if (others[i] == placeholder && levels[i] == name) return true;
      }
    }
  }
  return false;
}

}  // namespace

bool isReservedLineName(const std::string& name) { return takenWhere("LINE", name); }
bool isReservedItemName(const std::string& name) { return takenWhere("ITEM", name); }

std::string Topics::topic(TopicKind kind, const std::string& line, const std::string& item) const {
  std::string topic = prefix;
  for (const std::string& level : levelsOf(rowOf(kind).pattern)) {
    topic += "/" + (level == "LINE" ? line : level == "ITEM" ? item : level);
  }
  return topic;
}

bool Topics::parse(const std::string& topic, TopicKind kind, std::string& line,
                   std::string& item) const {
  const std::string head = prefix + "/";
  if (topic.size() <= head.size() || topic.compare(0, head.size(), head) != 0) return false;
  const std::vector<std::string> levels = levelsOf(topic.substr(head.size()));
  const std::vector<std::string> pattern = levelsOf(rowOf(kind).pattern);
  if (levels.size() != pattern.size()) return false;
  for (size_t i = 0; i < levels.size(); ++i) {
    if (pattern[i] == "LINE") {
      line = levels[i];
    } else if (pattern[i] == "ITEM") {
      item = levels[i];
    } else if (levels[i] != pattern[i]) {
      return false;
    }
    if (levels[i].empty()) return false;
  }
  return true;
}

std::string topicsHelp() {
  std::string help;
  for (const TopicRow& row : kTopicRows) {
    help += text::helpRow(std::string("PREFIX/") + row.pattern,
                          std::string(row.carries) + (row.retained ? "; retained" : ""), 26);
  }
  return help;
}

std::string describeTopics(const GatewayConfig& config) {
  const Topics topics{config.topicPrefix};
  std::ostringstream text;
  const auto told = [&](TopicKind kind, const std::string& line, const std::string& item,
                        const std::string& carries) {
    text << topics.topic(kind, line, item) << "  " << carries
         << (kTopicRows[static_cast<size_t>(kind)].retained ? " (retained)" : "") << "\n";
  };
  told(TopicKind::kGatewayStatus, "", "", "online, or offline as the last will");
  if (config.metricsEvery.count() != 0) {
    told(TopicKind::kMetrics, "", "",
         "metrics every " + std::to_string(config.metricsEvery.count()) + " ms");
  }
  for (const LineConfig& line : config.lines) {
    told(TopicKind::kLineStatus, line.name, "", line.device + " up or down");
    for (const ItemConfig& item : line.items) {
      if (item.every.count() != 0) {
        told(TopicKind::kItem, line.name, item.name,
             item.item.describe() + ", every " + std::to_string(item.every.count()) + " ms, " +
                 (item.publish == PublishMode::kEveryPoll
                      ? std::string("every poll")
                      : "on change or every " + std::to_string(item.heartbeat.count()) + " ms"));
      } else {
        text << topics.item(line.name, item.name) << "  " << item.item.describe() << "\n";
      }
      if (item.writable) {
        told(TopicKind::kSet, line.name, item.name, "writes taken");
        told(TopicKind::kSetResult, line.name, item.name, "their results");
      }
    }
  }
  for (const auto& [topic, payload] : discoveryConfigs(config)) {
    text << topic << "  Home Assistant discovery (retained)\n";
  }
  if (config.http) {
    const HttpConfig& http = *config.http;
    text << (http.https() ? "https://" : "http://") << http.listen
         << "/  the live page, /metrics and /events; writes from the page "
         << (http.writes() ? "with the password" : "off")
         << (http.readPassword ? "; reading with the password" : "") << "\n";
  }
  return text.str();
}

}  // namespace zephlor::gateway
