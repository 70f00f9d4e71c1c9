#include "line_worker.h"

#include "shared_driver.h"
#include "tell.h"
#include "zephlor_io/stop_request.h"
#include "zephlor_sim/simulated_link.h"
#include "zephlor_text/timestamp.h"

namespace zephlor::gateway {
namespace {

using host::TransactionOutcome;

constexpr auto kReopenInterval = std::chrono::seconds(1);

bool lineFailed(TransactionOutcome outcome) {
  return outcome == TransactionOutcome::kSendFailed ||
         outcome == TransactionOutcome::kReceiveFailed;
}

}  // namespace

LineWorker::LineWorker(const LineConfig& config, const Topics& topics,
                       const host::DriverEntryPoints& driver, MessageSink& sink)
    : config_(config), topics_(topics), driver_(driver), sink_(sink) {
  rules_.timeout = config_.timeout;
  const Clock::time_point now = Clock::now();
  for (const ItemConfig& item : config_.items) {
    ItemState& state = items_.emplace_back();
    state.config = &item;
    state.due = now;
  }
}

LineWorker::~LineWorker() { stop(); }

void LineWorker::start() {
  thread_ = std::thread([this] { run(); });
}

void LineWorker::stop() {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool LineWorker::queueWrite(WriteRequest request, std::string& error) {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (!figures_.up) {
      error = "line " + config_.name + " is down" +
              (downReason_.empty() ? std::string() : ": " + downReason_);
      return false;
    }
    if (writes_.size() >= kWriteQueueCapacity) {
      error = "line " + config_.name + " has " + std::to_string(writes_.size()) +
              " writes waiting already";
      return false;
    }
    writes_.push_back(std::move(request));
  }
  wake_.notify_all();
  return true;
}

LineFigures LineWorker::takeFigures() {
  const std::lock_guard<std::mutex> hold(mutex_);
  LineFigures figures = figures_;
  figures.writeQueue = writes_.size();
  figures_.replyTimes = host::ReplyTimes();
  return figures;
}

void LineWorker::run() {
  Clock::time_point nextOpen = Clock::now();
  const auto interrupted = [this] { return stopping_ || !writes_.empty(); };
  for (;;) {
    std::unique_lock<std::mutex> hold(mutex_);
    if (stopping_) return;
    if (!up_) {
      if (!writes_.empty()) {
        hold.unlock();
        refuseQueuedWrites("line " + config_.name + " is down: " + downReason_);
      } else if (Clock::now() < nextOpen) {
        wake_.wait_until(hold, nextOpen, interrupted);
      } else {
        hold.unlock();
        nextOpen = Clock::now() + kReopenInterval;
        openLine();
      }
      continue;
    }
    if (!writes_.empty()) {
      const WriteRequest request = std::move(writes_.front());
      writes_.pop_front();
      hold.unlock();
      write(request);
      continue;
    }
    ItemState* next = earliestDue();
    if (next == nullptr) {  // write-only items alone
      wake_.wait(hold, interrupted);
    } else if (next->due > Clock::now()) {
      wake_.wait_until(hold, next->due, interrupted);
    } else {
      hold.unlock();
      poll(*next);
    }
  }
}

LineWorker::ItemState* LineWorker::earliestDue() {
  ItemState* earliest = nullptr;
  for (ItemState& item : items_) {
    if (item.config->every.count() == 0) continue;
    if (earliest == nullptr || item.due < earliest->due) earliest = &item;
  }
  return earliest;
}

bool LineWorker::openLine() {
  transport_.reset();
  line_.reset();
  if (config_.simulated()) {
    simController_ = std::make_unique<sim::ControllerModel>();
    simFaults_ = std::make_unique<sim::FaultInjector>(sim::FaultPlan{});
    transport_ = std::make_unique<sim::SimulatedLink>(*simController_, *simFaults_, config_.baud);
  } else {
    io::OpenResult opened = io::openLine(config_.device, config_.baud, rules_.timeout);
    if (opened.failure != io::OpenFailure::kNone) {
      if (!io::stopRequested()) lineDown(opened.message);
      return false;
    }
    line_ = std::move(opened.line);
    transport_ = std::make_unique<io::SerialLineTransport>(*line_);
  }
  up_ = true;
  publishStatus(true, config_.simulated() ? "the built-in simulator" : "opened " + config_.device);
  return true;
}

void LineWorker::lineDown(const std::string& reason) {
  const bool wasUp = up_;
  up_ = false;
  transport_.reset();
  line_.reset();
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (!wasUp && !downReason_.empty()) {
      downReason_ = reason;  // still down: said once, not at every attempt
      return;
    }
    downReason_ = reason;
  }
  publishStatus(false, reason);
  for (ItemState& item : items_) {
    if (item.config->every.count() != 0) sample(item, kLineDownQuality);
  }
}

void LineWorker::publishStatus(bool up, const std::string& reason) {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    figures_.up = up;
  }
  tell("line " + config_.name + (up ? " up: " : " down: ") + reason);
  sink_.publish(topics_.lineStatus(config_.name),
                lineStatusPayload(up, reason, text::timestampNow()), true);
}

host::TransactionResult LineWorker::transact(const ItemConfig& item, RSDATA* records) {
  IA address = item.item.address();
  const bool isWrite = records[0].direction != 0;
  for (int attempt = 0;; ++attempt) {
    host::TransactionResult result;
    {
      std::unique_lock<std::mutex> writing(writeTransactionLock(), std::defer_lock);
      if (isWrite) writing.lock();
      result = host::runTransaction(driver_, address, item.item.kind->addressCount, records,
                                    *transport_, rules_, nullptr);
    }
    if (result.outcome == TransactionOutcome::kInterrupted) return result;
    count(result);
    if (!host::isGarbledOrMissing(result.outcome) || attempt >= config_.retries) return result;
  }
}

void LineWorker::count(const host::TransactionResult& result) {
  const std::lock_guard<std::mutex> hold(mutex_);
  ++figures_.transactions;
  if (result.outcome != TransactionOutcome::kCompleted) ++figures_.failures;
  if (result.outcome == TransactionOutcome::kCompleted && !result.request.empty()) {
    figures_.replyTimes.add(result.replyTime);
  }
}

void LineWorker::poll(ItemState& item) {
  RSDATA records[5] = {};  // a firmware read fills five
  const host::TransactionResult result = transact(*item.config, records);
  if (result.outcome == TransactionOutcome::kInterrupted) return;
  // The next deadline keeps its phase; a poll that fell a whole period behind is not repeated.
  const Clock::time_point now = Clock::now();
  item.due += item.config->every;
  if (item.due < now) item.due = now;
  if (lineFailed(result.outcome)) {
    lineDown(result.error);
    return;
  }
  if (result.outcome == TransactionOutcome::kCompleted) {
    item.value = valueOfRecords(*item.config->item.kind, records);
  }
  sample(item, qualityOf(result.outcome));
}

void LineWorker::sample(ItemState& item, const std::string& quality) {
  const Clock::time_point now = Clock::now();
  const bool publish = item.config->publish == PublishMode::kEveryPoll || !item.everPublished ||
                       item.value != item.publishedValue || quality != item.publishedQuality ||
                       now - item.publishedAt >= item.config->heartbeat;
  if (!publish) return;
  sink_.publish(topics_.item(config_.name, item.config->name),
                valuePayload(item.value, text::timestampNow(), quality), true);
  item.everPublished = true;
  item.publishedValue = item.value;
  item.publishedQuality = quality;
  item.publishedAt = now;
}

void LineWorker::write(const WriteRequest& request) {
  ItemState& item = items_[request.item];
  RSDATA record{};
  record.direction = 1;
  record.value = static_cast<float>(request.value);
  const host::TransactionResult result = transact(*item.config, &record);
  if (result.outcome == TransactionOutcome::kInterrupted) return;
  const std::string resultTopic = topics_.setResult(config_.name, item.config->name);
  if (result.outcome == TransactionOutcome::kCompleted) {
    sink_.publish(resultTopic, setResultPayload(request.id, result.sentValue, true, ""), false);
    item.due = Clock::now();  // read it back, so its topic shows the new value
    return;
  }
  std::string error = std::string(qualityOf(result.outcome)) + ": " + explanationOf(result.outcome);
  if (!result.error.empty()) error += " (" + result.error + ")";
  sink_.publish(resultTopic, setResultPayload(request.id, result.sentValue, false, error), false);
  if (lineFailed(result.outcome)) lineDown(result.error);
}

void LineWorker::refuseQueuedWrites(const std::string& reason) {
  std::deque<WriteRequest> refused;
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    refused.swap(writes_);
  }
  for (const WriteRequest& request : refused) {
    const std::string& item = items_[request.item].config->name;
    sink_.publish(topics_.setResult(config_.name, item),
                  setResultPayload(request.id, std::nullopt, false, reason), false);
  }
}

}  // namespace zephlor::gateway
