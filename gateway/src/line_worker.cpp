#include "line_worker.h"

#include <algorithm>

#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "tell.h"
#include "zephlor_io/stop_request.h"

namespace zephlor::gateway {
namespace {

using host::TransactionOutcome;

constexpr auto kReopenInterval = std::chrono::seconds(1);

// A line's thread runs at this niceness, above the broker connection's: when more is asked than
// the machine can do, the lines still poll, but what they read gets out to the broker first,
// instead of hundreds of line threads leaving the one sender no time to send.
constexpr int kLineNiceness = 5;

line::LineSettings settingsOf(const LineConfig& config) {
  line::LineSettings settings;
  settings.device = config.device;
  settings.baud = config.baud;
  settings.rules.timeout = config.timeout;
  settings.retries = config.retries;
  return settings;
}

bool isPowerOfTwo(long long count) { return count > 0 && (count & (count - 1)) == 0; }

}  // namespace

LineWorker::LineWorker(const LineConfig& config, const Topics& topics,
                       const host::DriverEntryPoints& driver, MessageSink& sink, Board& board)
    : config_(config),
      topics_(topics),
      sink_(sink),
      board_(board),
      session_(driver, settingsOf(config)) {
  for (const ItemConfig& item : config_.items) items_.emplace_back().config = &item;
  // A retried attempt counts under its own verdict; the last one is counted with the reading.
  session_.onRetry([this](const host::Item&, const line::Reading& attempt, int) {
    board_.transaction(config_.name, attempt.verdict, std::nullopt);
  });
}

LineWorker::~LineWorker() { stop("gateway stopped"); }

void LineWorker::start() {
  thread_ = std::thread([this] { run(); });
}

void LineWorker::requestStop(const std::string& reason) {
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (stopping_) return;
    stopping_ = true;
    stopReason_ = reason;
  }
  wake_.notify_all();
}

void LineWorker::join() {
  if (thread_.joinable()) thread_.join();
}

bool LineWorker::queueWrite(WriteRequest request, std::string& error) {
  std::optional<WriteRequest> replaced;
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    if (!open_ || stopping_) {
      error = stopping_ ? std::string("the gateway is stopping")
                        : "line " + config_.name + " is down" +
                              (downReason_.empty() ? std::string() : ": " + downReason_);
      return false;
    }
    if (writes_.add(std::move(request), replaced) == WriteQueue::Added::kFull) {
      error = "line " + config_.name + " has writes to " + std::to_string(writes_.size()) +
              " items waiting already";
      return false;
    }
  }
  wake_.notify_all();
  if (replaced) {
    answer(*replaced, std::nullopt, false,
           "superseded: a newer write to this item took its place before it was sent");
  }
  return true;
}

void LineWorker::readNow(size_t index) {
  if (index >= items_.size() || items_[index].config->every.count() == 0) return;
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    // One request per item at most waits: a client that asks faster than the line reads gets
    // the next reading, and memory stays bounded by the items.
    if (std::find(readsAsked_.begin(), readsAsked_.end(), index) != readsAsked_.end()) return;
    readsAsked_.push_back(index);
  }
  wake_.notify_all();
}

LineFigures LineWorker::takeFigures() {
  const std::lock_guard<std::mutex> hold(mutex_);
  LineFigures figures = figures_;
  figures.writeQueue = writes_.size();
  figures_.replyTimes = host::ReplyTimes();
  return figures;
}

void LineWorker::run() {
  setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), kLineNiceness);
  Clock::time_point nextOpen = Clock::now();
  const auto interrupted = [this] {
    return stopping_ || !writes_.empty() || (open_ && !readsAsked_.empty());
  };
  for (;;) {
    std::unique_lock<std::mutex> hold(mutex_);
    // A stop asked of the whole process ends every line at once, whether or not its turn came.
    if (stopping_ || io::stopRequested()) break;
    const Clock::time_point now = Clock::now();
    if (!open_) {
      if (!writes_.empty()) {
        const std::string reason = "not sent: line " + config_.name + " is down: " + downReason_;
        for (const WriteRequest& request : writes_.takeAll()) {
          hold.unlock();
          answer(request, std::nullopt, false, reason);
          hold.lock();
        }
      } else if (now < nextOpen) {
        wake_.wait_until(hold, nextOpen, interrupted);
      } else {
        hold.unlock();
        nextOpen = now + kReopenInterval;
        openLine();
      }
      continue;
    }
    for (const size_t index : readsAsked_) {
      items_[index].due = now;
      items_[index].publishNext = true;
    }
    readsAsked_.clear();
    hold.unlock();
    markOverdue(now);
    hold.lock();
    ItemState* next = earliestDue();
    const bool pollDue = next != nullptr && next->due <= now;
    // Writes and due polls take turns: a flood of writes leaves every poll its share.
    if (!writes_.empty() && !(pollDue && lastWasWrite_)) {
      const WriteRequest request = *writes_.take();
      hold.unlock();
      write(request);
      lastWasWrite_ = true;
    } else if (next == nullptr) {  // write-only items alone
      wake_.wait(hold, interrupted);
    } else if (!pollDue) {
      wake_.wait_until(hold, next->due, interrupted);
    } else {
      hold.unlock();
      sink_.awaitRoom(std::chrono::milliseconds(100));
      poll(*next);
      lastWasWrite_ = false;
    }
  }
  finish();
}

// Every write still waiting is answered, and the line's status says why it stopped.
void LineWorker::finish() {
  std::deque<WriteRequest> unsent;
  std::string reason;
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    unsent = writes_.takeAll();
    reason = stopReason_.empty() ? std::string("gateway stopped") : stopReason_;
    open_ = false;
  }
  for (const WriteRequest& request : unsent) {
    answer(request, std::nullopt, false, "not sent: " + reason);
  }
  up_ = false;
  publishStatus(false, reason, Priority::kNotice);  // a stop asked for
  session_.close();
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
  const line::Opening opened = session_.open();
  if (!opened.opened()) {
    if (!io::stopRequested()) lineDown(opened.message);
    return false;
  }
  openedAs_ = session_.openedAs();
  const Clock::time_point now = Clock::now();
  for (ItemState& item : items_) item.due = item.polled = now;
  const std::lock_guard<std::mutex> hold(mutex_);
  open_ = true;
  return true;
}

void LineWorker::lineUp() {
  if (up_) return;
  up_ = true;
  failedOpens_ = 0;
  publishStatus(true, openedAs_, Priority::kInfo);
}

void LineWorker::lineDown(const std::string& reason) {
  const bool wasUp = up_;
  up_ = false;
  session_.close();
  {
    const std::lock_guard<std::mutex> hold(mutex_);
    open_ = false;
    downReason_ = reason;
  }
  ++failedOpens_;
  // Down once is said on the status topic; a line that stays down is told again after 2, 4, 8...
  // failed attempts, not at every one.
  if (!wasUp && statusPublished_) {
    if (isPowerOfTwo(failedOpens_)) {
      tell(Priority::kWarning, "line " + config_.name + " still down after " +
                                   std::to_string(failedOpens_) + " attempts: " + reason);
    }
    return;
  }
  publishStatus(false, reason, Priority::kWarning);
  for (ItemState& item : items_) {
    if (item.config->every.count() != 0) sample(item, kLineDownQuality);
  }
}

// Every attempt counts in the figures; the line is up once one completed. A line that opened but
// on which nothing answers yet (a silent controller behind a device server) says so once, so its
// status never stays unknown.
void LineWorker::transacted(const line::Reading& reading) {
  count(reading);
  if (reading.completed()) {
    lineUp();
  } else if (!up_ && !statusPublished_ && !reading.row().lineFailed &&
             reading.verdict != TransactionOutcome::kInterrupted) {
    publishStatus(false,
                  openedAs_ + ", but no transaction has completed yet (" + reading.row().name + ")",
                  Priority::kWarning);
  }
}

void LineWorker::count(const line::Reading& reading) {
  // A transaction a stop cut short is not counted.
  const long long attempts =
      reading.attempts - (reading.verdict == TransactionOutcome::kInterrupted ? 1 : 0);
  if (reading.verdict != TransactionOutcome::kInterrupted) {
    const bool timed = reading.completed() && !reading.request.empty();
    board_.transaction(config_.name, reading.verdict,
                       timed ? std::optional(reading.replyTime) : std::nullopt);
  }
  const std::lock_guard<std::mutex> hold(mutex_);
  figures_.transactions += attempts;
  figures_.failures += attempts - (reading.completed() ? 1 : 0);
  if (reading.completed() && !reading.request.empty()) figures_.replyTimes.add(reading.replyTime);
}

void LineWorker::poll(ItemState& item) {
  const line::Reading reading = session_.read(item.config->item);
  transacted(reading);
  if (reading.verdict == TransactionOutcome::kInterrupted) return;
  // The next deadline keeps its phase; a poll that fell a whole period behind is not repeated.
  const Clock::time_point now = Clock::now();
  item.polled = now;
  item.due += item.config->every;
  if (item.due < now) item.due = now;
  if (reading.row().lineFailed) {
    lineDown(reading.detail);
    return;
  }
  if (reading.completed()) item.value = valueOf(reading);
  sample(item, reading.row().name);
}

void LineWorker::write(const WriteRequest& request) {
  ItemState& item = items_[request.item];
  RSDATA record{};
  record.value = static_cast<float>(request.value);
  const line::Reading reading = session_.write(item.config->item, record);
  transacted(reading);
  const facts::VerdictRow& verdict = reading.row();
  const std::string detail = reading.detail.empty() ? "" : " (" + reading.detail + ")";
  switch (reading.verdict) {
    case TransactionOutcome::kCompleted:
      answer(request, reading.sentValue, true, "");
      item.due = Clock::now();  // read it back, so its topic shows the new value
      return;
    case TransactionOutcome::kInterrupted:
      // The controller may have taken it; only its echo would have said.
      return answer(request, reading.sentValue, false,
                    "outcome unknown: the gateway stopped before the controller's echo");
    case TransactionOutcome::kReceiveFailed:
      answer(
          request, reading.sentValue, false,
          "outcome unknown: the line failed after the request was sent (" + reading.detail + ")");
      return lineDown(reading.detail);
    case TransactionOutcome::kSendFailed:
    case TransactionOutcome::kNotSilent:
    case TransactionOutcome::kNothingToSend:
      answer(request, std::nullopt, false, std::string("not sent: ") + verdict.words + detail);
      if (verdict.lineFailed) lineDown(reading.detail);
      return;
    default:
      answer(request, reading.sentValue, false,
             std::string(verdict.name) + ": " + verdict.words + detail);
  }
}

}  // namespace zephlor::gateway
