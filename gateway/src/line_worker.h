// One line and its items, on a thread of its own: exactly one transaction at a time, polls by
// earliest deadline, a write ahead of every poll once the transaction in progress is done, and
// the line opened again, at most once a second, after it failed.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "config.h"
#include "message_sink.h"
#include "payloads.h"
#include "topic_names.h"
#include "zephlor_host/line_transport.h"
#include "zephlor_host/reply_times.h"
#include "zephlor_host/transaction.h"
#include "zephlor_io/serial_port.h"
#include "zephlor_sim/controller_model.h"
#include "zephlor_sim/fault_injector.h"

namespace zephlor::gateway {

using Clock = std::chrono::steady_clock;

struct WriteRequest {
  size_t item = 0;  // its index in the line's items
  double value = 0;
  Json id;
};

// A line's figures for the metrics: counts since the start, reply times since the last look.
struct LineFigures {
  bool up = false;
  long long transactions = 0;
  long long failures = 0;
  host::ReplyTimes replyTimes;
  size_t writeQueue = 0;
};

// How many writes may wait for one line; beyond that they are refused.
constexpr size_t kWriteQueueCapacity = 16;

class LineWorker {
 public:
  LineWorker(const LineConfig& config, const Topics& topics, const host::DriverEntryPoints& driver,
             MessageSink& sink);
  ~LineWorker();
  LineWorker(const LineWorker&) = delete;
  LineWorker& operator=(const LineWorker&) = delete;

  const LineConfig& config() const { return config_; }

  void start();
  // Ends the thread after the transaction in progress; a stop request ends that at once.
  void stop();

  // Queues a write to go ahead of the polls; false with the reason when it cannot wait.
  bool queueWrite(WriteRequest request, std::string& error);

  // The figures so far; the reply times start again from here.
  LineFigures takeFigures();

 private:
  struct ItemState {
    const ItemConfig* config = nullptr;
    Clock::time_point due;
    bool everPublished = false;
    Json value;  // the last good value, null until one was read
    Json publishedValue;
    std::string publishedQuality;
    Clock::time_point publishedAt;
  };

  void run();
  bool openLine();
  void lineDown(const std::string& reason);
  void publishStatus(bool up, const std::string& reason);
  host::TransactionResult transact(const ItemConfig& item, RSDATA* records);
  void poll(ItemState& item);
  void write(const WriteRequest& request);
  void refuseQueuedWrites(const std::string& reason);
  void sample(ItemState& item, const std::string& quality);
  ItemState* earliestDue();
  void count(const host::TransactionResult& result);

  const LineConfig config_;
  const Topics topics_;
  const host::DriverEntryPoints& driver_;
  MessageSink& sink_;
  host::TransactionRules rules_;
  std::vector<ItemState> items_;

  std::unique_ptr<io::ByteLine> line_;
  std::unique_ptr<sim::ControllerModel> simController_;
  std::unique_ptr<sim::FaultInjector> simFaults_;
  std::unique_ptr<host::LineTransport> transport_;
  bool up_ = false;
  std::string downReason_;

  std::mutex mutex_;  // guards what follows
  std::condition_variable wake_;
  std::deque<WriteRequest> writes_;
  bool stopping_ = false;
  LineFigures figures_;

  std::thread thread_;
};

}  // namespace zephlor::gateway
