// What the gateway knows of its lines now, for the HTTP port: every line's status and counts,
// every item's latest sample and its recent values, and the gateway's own counts. The line
// workers write it as they publish; the metrics and the live page read it.
//
// Each change is also an event for the live page. Only the latest kEventsKept are kept, so a page
// that reads slowly costs no memory: one that falls behind starts again from the whole state.
#pragma once

#include <array>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "config.h"
#include "payloads.h"
#include "zephlor_facts/item_catalogue.h"
#include "zephlor_facts/verdicts.h"

namespace zephlor::gateway {

// The reply-time histogram's bucket bounds, in seconds: from a fast line's few milliseconds to
// the longest timeout a line may have.
inline constexpr std::array<double, 12> kReplyBuckets = {0.005, 0.01, 0.02, 0.05, 0.1, 0.2,
                                                         0.5,   1,    2,    5,    10,  60};
// Recent values an item keeps for its trend on the page.
constexpr size_t kTrendLength = 40;
constexpr size_t kEventsKept = 1024;

struct ItemView {
  std::string name;
  std::string kind;  // its item kind, as zephlorctl names it
  std::string item;  // kind and address numbers
  bool writable = false;
  bool isSwitch = false;  // a switch or an LED: 0 or 1 from the page
  std::optional<facts::ValueBounds> bounds;
  std::string unit;
  std::string label;
  Json value;           // the last good value, null until one was read
  std::string quality;  // empty until the first sample
  std::optional<std::chrono::steady_clock::time_point> goodAt;  // when last read good
  std::deque<double> trend;                                     // the last good values
  std::string lastWrite;  // the last write's result, as the page shows it
};

struct LineView {
  std::string name;
  std::string device;
  bool up = false;
  std::string reason = "starting";
  std::string since;
  // Transactions by verdict, retries among them, in the verdict table's order.
  std::array<long long, std::size(facts::kVerdicts)> byVerdict{};
  std::array<long long, kReplyBuckets.size()> replyBuckets{};  // each bucket alone
  long long replies = 0;
  double replySeconds = 0;
  std::vector<ItemView> items;
  LineConfig config;
};

struct GatewayCounts {
  long long valuesPublished = 0;
  long long writesConfirmed = 0;
  long long writesNotConfirmed = 0;  // sent, or tried, and not confirmed
  long long writesRefused = 0;       // refused before they reached a line
};

struct BoardState {
  std::vector<LineView> lines;
  GatewayCounts counts;
};

class Board {
 public:
  // The lines from now on: one whose configuration is the same keeps its state, the others
  // start afresh. The page is told to start again from the whole state.
  void setLines(const std::vector<LineConfig>& lines);

  void lineStatus(const std::string& line, bool up, const std::string& reason,
                  const std::string& time);
  // One attempt's verdict; a completed one with its reply time.
  void transaction(const std::string& line, facts::TransactionOutcome verdict,
                   std::optional<std::chrono::microseconds> replyTime);
  // Every sample of an item, `published` or not: a good one makes its age start again. One that
  // was published is told to the page and goes into the trend.
  void sample(const std::string& line, size_t item, const Json& value, const std::string& quality,
              bool published);
  void writeAnswered(const std::string& line, size_t item, const Json& id,
                     std::optional<int64_t> sent, bool confirmed, const std::string& error);
  void writeRefused();

  BoardState state() const;
  // The whole state as the page reads it: lines, their items and the sequence it stands at.
  std::string stateJson() const;

  // Every item's age, the seconds since it was last read good (null for never), line by line:
  // what a page that follows the events needs besides them, as an unchanged value makes none.
  std::string agesJson() const;

  struct Events {
    std::vector<std::string> events;  // each a JSON object
    bool startAgain = false;          // the reader fell behind, or the lines changed
    uint64_t next = 0;                // where the next call goes on from
  };
  // The events after `cursor`, waiting up to `wait` for one; a cursor of 0 starts again.
  Events eventsAfter(uint64_t cursor, std::chrono::milliseconds wait) const;

 private:
  LineView* line(const std::string& name);
  void event(Json event);  // under the lock

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<LineView> lines_;
  // A line's place in lines_, as every transaction of every line looks its line up.
  std::unordered_map<std::string, size_t> byName_;
  GatewayCounts counts_;
  std::deque<std::string> events_;
  uint64_t sequence_ = 0;  // of the latest event
  uint64_t epoch_ = 1;     // the sequence from which events follow the latest whole state
};

}  // namespace zephlor::gateway
