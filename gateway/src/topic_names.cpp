#include "topic_names.h"

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

bool isReservedLineName(const std::string& name) { return name == "status" || name == "metrics"; }
bool isReservedItemName(const std::string& name) { return name == "status"; }

bool Topics::parseSet(const std::string& topic, std::string& line, std::string& item) const {
  const std::string head = prefix + "/";
  const std::string tail = "/set";
  if (topic.size() <= head.size() + tail.size() || topic.compare(0, head.size(), head) != 0 ||
      topic.compare(topic.size() - tail.size(), tail.size(), tail) != 0) {
    return false;
  }
  const std::string middle = topic.substr(head.size(), topic.size() - head.size() - tail.size());
  const size_t slash = middle.find('/');
  if (slash == std::string::npos || middle.find('/', slash + 1) != std::string::npos) return false;
  line = middle.substr(0, slash);
  item = middle.substr(slash + 1);
  return !line.empty() && !item.empty();
}

}  // namespace zephlor::gateway
