// The gateway's topics, all under one prefix:
//   PREFIX/status                     online, or offline as the broker's last will
//   PREFIX/metrics                    counters and reply times, now and then
//   PREFIX/LINE/status                the line up or down
//   PREFIX/LINE/ITEM                  the item's value
//   PREFIX/LINE/ITEM/set              a value to write, from any client
//   PREFIX/LINE/ITEM/set/result       how that write went
#pragma once

#include <string>

namespace zephlor::gateway {

// What makes `level` no good as one level of a topic name (empty, a '/', a wildcard, a control
// character); empty when it is good.
std::string topicLevelProblem(const std::string& level);
// The same for a prefix of one or more levels, which must not start with '$' either: those
// topics are the broker's own.
std::string topicPrefixProblem(const std::string& prefix);

// Names a line or an item may not have: their topics would be taken for the gateway's or the
// line's status, or its metrics.
bool isReservedLineName(const std::string& name);
bool isReservedItemName(const std::string& name);

struct Topics {
  std::string prefix;

  std::string gatewayStatus() const { return prefix + "/status"; }
  std::string metrics() const { return prefix + "/metrics"; }
  std::string lineStatus(const std::string& line) const { return prefix + "/" + line + "/status"; }
  std::string item(const std::string& line, const std::string& item) const {
    return prefix + "/" + line + "/" + item;
  }
  std::string set(const std::string& line, const std::string& item) const {
    return this->item(line, item) + "/set";
  }
  std::string setResult(const std::string& line, const std::string& item) const {
    return set(line, item) + "/result";
  }
  // Every item's set topic at once.
  std::string setSubscription() const { return prefix + "/+/+/set"; }

  // The line and item of an item's set topic; false for any other topic.
  bool parseSet(const std::string& topic, std::string& line, std::string& item) const;
};

}  // namespace zephlor::gateway
