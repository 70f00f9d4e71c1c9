// Watches a line that another host drives: the bytes each side sent, as they passed, made into
// one record per exchange. A request and its reply are judged by the plug-in exactly as a host
// judges them (the same verdicts as zephlorctl's); what only a watcher sees, such as a reply to an
// earlier request, gets a watch verdict. It decodes and never changes a byte.
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "zephlor_facts/verdicts.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_sim/request_words.h"

namespace zephlor::monitor {

// When something passed: the steady clock for intervals, the wall clock for the record.
struct Moment {
  std::chrono::steady_clock::time_point steady;
  std::chrono::system_clock::time_point wall;
  static Moment now() {
    return {std::chrono::steady_clock::now(), std::chrono::system_clock::now()};
  }
};

enum class Direction { kExchange, kToController, kToHost };

struct Exchange {
  std::chrono::system_clock::time_point time;  // when its first line ended
  Direction direction = Direction::kExchange;
  std::string item;     // "station-level 1 2 3"; empty when no request names one
  std::string request;  // the bytes as they passed, line end included
  std::string reply;
  std::string value;  // the value read, or written and confirmed; empty when none
  std::optional<std::chrono::microseconds> replyTime;
  std::string verdict;  // "good", a transaction verdict's name, or a watch verdict's
  std::string words;    // the verdict's words, with the driver's detail when it gave some
};

// Lines longer than this without a line end are taken as they stand, so noise cannot make a
// watcher hold without bound.
constexpr size_t kLongestLine = 1024;

class Watcher {
 public:
  // Judges by `driver` (which the watcher alone calls), a request with no reply after `timeout`
  // being one with no reply, as a host with that timeout sees it.
  Watcher(const host::DriverEntryPoints& driver, std::chrono::milliseconds timeout);

  void fromHost(std::string_view bytes, const Moment& at);
  void fromController(std::string_view bytes, const Moment& at);
  // Closes a request whose reply has not come within the timeout.
  void tick(const Moment& now);
  // The records made since the last call, in the order their exchanges ended.
  std::vector<Exchange> take();

 private:
  struct Line {
    std::string bytes;
    Moment ended;
  };
  struct Pending {
    sim::RequestWords words;
    std::string request;
    Moment sent;
    std::string partialReply;  // reply bytes with no line end yet
  };

  static void split(std::string& partial, std::string_view bytes, const Moment& at,
                    std::vector<Line>& lines);
  void request(const Line& line);
  void reply(const Line& line);
  void close(std::string reply, bool lineComplete, const Moment& at);
  void watchRecord(Direction direction, const Line& line, facts::WatchVerdict verdict);
  // Keeps a closed request, for a reply that comes late.
  void remember(sim::RequestWords closed);

  const host::DriverEntryPoints& driver_;
  const std::chrono::milliseconds timeout_;
  std::string hostPartial_;
  std::string controllerPartial_;
  std::optional<Pending> pending_;
  std::deque<sim::RequestWords> recent_;  // requests closed lately, for late replies
  int32_t modifier_ = 0;                  // the level modifier the driver holds
  std::vector<Exchange> made_;
};

}  // namespace zephlor::monitor
