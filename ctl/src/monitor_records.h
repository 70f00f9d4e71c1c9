// What zephlorctl monitor writes: one record per exchange as text, CSV or JSON lines, and the
// summary told when it ends.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "options.h"
#include "zephlor_host/reply_times.h"
#include "zephlor_monitor/watcher.h"

namespace zephlor::ctl {

class MonitorRecords {
 public:
  MonitorRecords(Format format, std::ostream& out);
  void write(const monitor::Exchange& exchange);
  // "12 exchanges, 2 not good", for the status line.
  std::string counts() const;
  // Exchanges by item and verdict, and each item's median and p99 reply time.
  std::string summary() const;
  bool failed() const { return !out_; }

 private:
  Format format_;
  std::ostream& out_;
  long long exchanges_ = 0;
  long long notGood_ = 0;
  std::map<std::pair<std::string, std::string>, long long> byItemAndVerdict_;
  std::map<std::string, host::ReplyTimes> replyTimes_;
};

}  // namespace zephlor::ctl
