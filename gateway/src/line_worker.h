// One line and its items, on a thread of its own: exactly one transaction at a time, polls by
// earliest deadline, writes taken in turn with the polls that are due (so neither starves the
// other), and the line opened again, at most once a second, after it failed. The line is said to
// be up once a transaction on it has completed, not merely once it opened: a device server that
// accepts and drops every connection is a line that is down.
#pragma once

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "board.h"
#include "config.h"
#include "message_sink.h"
#include "payloads.h"
#include "tell.h"
#include "topic_names.h"
#include "write_queue.h"
#include "zephlor_host/reply_times.h"
#include "zephlor_line/line_session.h"

namespace zephlor::gateway {

using Clock = std::chrono::steady_clock;

// A line's figures for the metrics: counts since the start, reply times since the last look.
struct LineFigures {
  bool up = false;
  long long transactions = 0;
  long long failures = 0;
  host::ReplyTimes replyTimes;
  size_t writeQueue = 0;
};

// How many items of one line may have a write waiting; beyond that writes are refused.
constexpr size_t kWriteQueueCapacity = 16;

// An item not polled for this many of its periods (plus the line's timeout, which one poll may
// take) is published as overdue: the line cannot keep up with what is asked of it.
constexpr int kOverduePeriods = 3;
inline constexpr const char* kOverdueQuality = "overdue";

class LineWorker {
 public:
  // What it publishes goes to `sink`, and is told to `board` too.
  LineWorker(const LineConfig& config, const Topics& topics, const host::DriverEntryPoints& driver,
             MessageSink& sink, Board& board);
  ~LineWorker();
  LineWorker(const LineWorker&) = delete;
  LineWorker& operator=(const LineWorker&) = delete;

  const LineConfig& config() const { return config_; }

  void start();
  // Asks the thread to end after the transaction in progress (a stop request ends that at once),
  // with the line's status down for `reason`; join() waits for it. Many lines are told first and
  // waited for after, so that a stop takes as long as the slowest line, not their sum.
  void requestStop(const std::string& reason);
  void join();
  void stop(const std::string& reason = "gateway stopped") {
    requestStop(reason);
    join();
  }

  // Queues a write; a waiting write to the same item is replaced and answered as superseded.
  // False with the reason when it cannot wait: the line is down, or too many items wait.
  bool queueWrite(WriteRequest request, std::string& error);

  // Reads item `index` next, after the transaction in progress, and publishes it whether or not
  // it changed. An item that is written only is never read.
  void readNow(size_t index);

  // The figures so far; the reply times start again from here.
  LineFigures takeFigures();

 private:
  struct ItemState {
    const ItemConfig* config = nullptr;
    Clock::time_point due;
    Clock::time_point polled;  // when it was last polled, or the line opened
    bool everPublished = false;
    Json value;  // the last good value, null until one was read
    Json publishedValue;
    std::string publishedQuality;
    Clock::time_point publishedAt;
    bool publishNext = false;  // read on request: published changed or not
  };

  void run();
  void finish();
  bool openLine();
  void lineUp();
  void lineDown(const std::string& reason);
  void publishStatus(bool up, const std::string& reason, Priority priority);
  void transacted(const line::Reading& reading);
  void poll(ItemState& item);
  void write(const WriteRequest& request);
  void answer(const WriteRequest& request, std::optional<int64_t> sent, bool confirmed,
              const std::string& error);
  void markOverdue(Clock::time_point now);
  void sample(ItemState& item, const std::string& quality);
  ItemState* earliestDue();
  void count(const line::Reading& reading);

  const LineConfig config_;
  const Topics topics_;
  MessageSink& sink_;
  Board& board_;
  std::vector<ItemState> items_;

  line::LineSession session_;
  std::string openedAs_;  // how the line was opened, the reason given when it comes up
  bool up_ = false;
  bool statusPublished_ = false;
  bool lastWasWrite_ = false;
  long long failedOpens_ = 0;  // in a row; told at 1, 2, 4, 8... so a dead line logs little

  std::mutex mutex_;  // guards what follows
  std::condition_variable wake_;
  WriteQueue writes_{kWriteQueueCapacity};
  std::vector<size_t> readsAsked_;  // items to read now, by index
  bool open_ = false;
  std::string downReason_;
  bool stopping_ = false;
  std::string stopReason_;
  LineFigures figures_;

  std::thread thread_;
};

}  // namespace zephlor::gateway
