// The gateway's topics, all under one prefix:
//   PREFIX/status                     online, or offline as the broker's last will
//   PREFIX/metrics                    counters and reply times, now and then
//   PREFIX/LINE/status                the line up or down
//   PREFIX/LINE/ITEM                  the item's value
//   PREFIX/LINE/ITEM/set              a value to write, from any client
//   PREFIX/LINE/ITEM/set/result       how that write went
#pragma once

#include <string>

#include "config.h"
#include "zephlor_text/table_rows.h"

namespace zephlor::gateway {

// What makes `level` no good as one level of a topic name (empty, a '/', a wildcard, a control
// character); empty when it is good.
std::string topicLevelProblem(const std::string& level);
// The same for a prefix of one or more levels, which must not start with '$' either: those
// topics are the broker's own.
std::string topicPrefixProblem(const std::string& prefix);

// The gateway's topics, one row each: where it stands under the prefix (LINE and ITEM stand for a
// line's and an item's name), whether it is retained, and what it carries.
enum class TopicKind { kGatewayStatus, kMetrics, kLineStatus, kItem, kSet, kSetResult, kGet };

struct TopicRow {
  TopicKind kind;
  const char* pattern;  // after PREFIX/
  bool retained;
  const char* carries;  // for --help and --check
};

// clang-format off
inline constexpr TopicRow kTopicRows[] = {
    {TopicKind::kGatewayStatus, "status", true,
     "online, or offline (at a stop, and as the broker's last will)"},
    {TopicKind::kMetrics, "metrics", false,
     "per line: transactions, failures, reply times, writes waiting; the broker link's figures"},
    {TopicKind::kLineStatus, "LINE/status", true,
     "{\"state\":\"up\" or \"down\",\"reason\":...,\"time\":...}"},
    {TopicKind::kItem, "LINE/ITEM", true,
     "{\"value\":75,\"time\":...,\"quality\":\"good\"}; after a failed poll the last good value, "
     "quality naming the verdict (no-reply, another-item, not-silent, line-down...), or overdue "
     "when the line cannot poll it as often as asked"},
    {TopicKind::kSet, "LINE/ITEM/set", false,
     "a number, or {\"value\":42,\"id\":\"any string\"}, for a writable item, from any client; a "
     "retained write is refused"},
    {TopicKind::kSetResult, "LINE/ITEM/set/result", false,
     "{\"id\":...,\"sent\":42,\"confirmed\":true}, or with \"error\": the verdict, not sent, "
     "superseded, or outcome unknown"},
    {TopicKind::kGet, "LINE/ITEM/get", false,
     "anything, from any client: the item is read now and published on its topic, changed or "
     "not"},
};
// clang-format on
static_assert(text::rowsFollowTheirKeys(kTopicRows, &TopicRow::kind),
              "row i of the topics is TopicKind i");

// Names a line or an item may not have: a level that stands where the line's or the item's name
// stands in another topic, which would be taken for that one.
bool isReservedLineName(const std::string& name);
bool isReservedItemName(const std::string& name);

// Makes and reads the topics under one prefix.
struct Topics {
  std::string prefix;

  std::string topic(TopicKind kind, const std::string& line = "",
                    const std::string& item = "") const;
  std::string gatewayStatus() const { return topic(TopicKind::kGatewayStatus); }
  std::string metrics() const { return topic(TopicKind::kMetrics); }
  std::string lineStatus(const std::string& line) const {
    return topic(TopicKind::kLineStatus, line);
  }
  std::string item(const std::string& line, const std::string& item) const {
    return topic(TopicKind::kItem, line, item);
  }
  std::string set(const std::string& line, const std::string& item) const {
    return topic(TopicKind::kSet, line, item);
  }
  std::string setResult(const std::string& line, const std::string& item) const {
    return topic(TopicKind::kSetResult, line, item);
  }
  // Every item's set topic at once, and every item's get topic.
  std::string setSubscription() const { return set("+", "+"); }
  std::string getSubscription() const { return topic(TopicKind::kGet, "+", "+"); }

  // Whether `topic` is one of `kind` under this prefix, and if so the line's and item's names
  // it holds.
  bool parse(const std::string& topic, TopicKind kind, std::string& line, std::string& item) const;
  bool parseSet(const std::string& topic, std::string& line, std::string& item) const {
    return parse(topic, TopicKind::kSet, line, item);
  }
};

// The topics section of --help: every topic's pattern and what it carries.
std::string topicsHelp();

// Every topic `config` would use, with what each carries: what --check prints.
std::string describeTopics(const GatewayConfig& config);

}  // namespace zephlor::gateway
