#include "zephlor_monitor/watcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <sstream>
#include <utility>

#include "zephlor_facts/item_catalogue.h"
#include "zephlor_host/item_names.h"
#include "zephlor_host/transaction.h"
#include "zephlor_line/reading.h"

namespace zephlor::monitor {
namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;

// Requests closed lately that a reply may still belong to.
constexpr size_t kRecentKept = 8;

// Hands the driver the reply that passed on the line, as a host's line would have.
class ReplayTransport : public host::LineTransport {
 public:
  ReplayTransport(const std::string& reply, bool lineComplete)
      : reply_(reply), lineComplete_(lineComplete) {}
  bool discardPendingInput() override { return true; }
  host::SendStatus send(const char*, size_t, std::chrono::milliseconds, std::string&) override {
    return host::SendStatus::kSent;
  }
  host::ReceiveResult receiveLine(char* buffer, size_t capacity,
                                  std::chrono::milliseconds) override {
    host::ReceiveResult received;
    received.length = std::min(reply_.size(), capacity);
    std::memcpy(buffer, reply_.data(), received.length);
    received.overflowed = reply_.size() > capacity;
    received.lineComplete = lineComplete_;
    return received;
  }

 private:
  const std::string& reply_;
  const bool lineComplete_;
};

host::Item itemOf(const sim::RequestWords& words) {
  host::Item item;
  item.kind = &facts::itemKindInfo(words.command->kind);
  for (size_t i = 0; i < words.addresses.size() && i < item.addresses.size(); ++i) {
    item.addresses[i] = static_cast<unsigned char>(words.addresses[i] & 0xFF);
  }
  return item;
}

std::string number(double value) {
  std::ostringstream text;
  if (std::floor(value) == value && std::fabs(value) < 1e15) {
    text << static_cast<long long>(value);
  } else {
    text << value;
  }
  return text.str();
}

// The mnemonic and address numbers a line names: "GC 1 2 3" for "RGC# 1 2 3 75" and for
// "VGC# 1 2 3", so a reply can be matched to the request it answers.
std::string named(std::string_view line, int addressCount) {
  if (line.size() < 4 || line[3] != '#') return "";
  std::istringstream numbers{std::string(line.substr(4))};
  std::string name(line.substr(1, 2));
  std::string word;
  for (int i = 0; i < addressCount && numbers >> word; ++i) name += " " + word;
  return name;
}

}  // namespace

Watcher::Watcher(const host::DriverEntryPoints& driver, std::chrono::milliseconds timeout)
    : driver_(driver), timeout_(timeout) {}

void Watcher::split(std::string& partial, std::string_view bytes, const Moment& at,
                    std::vector<Line>& lines) {
  for (const char byte : bytes) {
    partial += byte;
    if (byte == '\n' || partial.size() >= kLongestLine) {
      lines.push_back({std::move(partial), at});
      partial.clear();
    }
  }
}

void Watcher::fromHost(std::string_view bytes, const Moment& at) {
  tick(at);
  std::vector<Line> lines;
  split(hostPartial_, bytes, at, lines);
  for (const Line& line : lines) request(line);
}

void Watcher::fromController(std::string_view bytes, const Moment& at) {
  tick(at);
  std::vector<Line> lines;
  split(controllerPartial_, bytes, at, lines);
  for (const Line& line : lines) reply(line);
  if (pending_) pending_->partialReply = controllerPartial_;
}

void Watcher::tick(const Moment& now) {
  if (pending_ && now.steady - pending_->sent.steady > timeout_) {
    close(pending_->partialReply, false, now);
  }
}

std::vector<Exchange> Watcher::take() { return std::exchange(made_, {}); }

void Watcher::watchRecord(Direction direction, const Line& line, facts::WatchVerdict verdict) {
  Exchange record;
  record.time = line.ended.wall;
  record.direction = direction;
  (direction == Direction::kToController ? record.request : record.reply) = line.bytes;
  record.verdict = facts::watchVerdictRow(verdict).name;
  record.words = facts::watchVerdictRow(verdict).words;
  made_.push_back(std::move(record));
}

void Watcher::request(const Line& line) {
  std::string_view text = line.bytes;
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.remove_suffix(1);
  std::optional<sim::RequestWords> words = sim::readRequest(text);
  if (pending_) {
    // The host asked again before the reply came: over a reply already under way, or with none.
    const bool arriving = !pending_->partialReply.empty();
    Exchange record;
    record.time = pending_->sent.wall;
    record.item = itemOf(pending_->words).describe();
    record.request = pending_->request;
    record.reply = pending_->partialReply;
    const facts::WatchVerdictRow& verdict = facts::watchVerdictRow(
        arriving ? facts::WatchVerdict::kRequestWhileDue : facts::WatchVerdict::kNoReplyBeforeNext);
    record.verdict = verdict.name;
    record.words = verdict.words;
    made_.push_back(std::move(record));
    remember(std::move(pending_->words));
    pending_.reset();
  }
  if (!words) return watchRecord(Direction::kToController, line, facts::WatchVerdict::kNotARequest);
  pending_ = Pending{std::move(*words), line.bytes, line.ended, {}};
  controllerPartial_.clear();
}

void Watcher::reply(const Line& line) {
  if (pending_) return close(line.bytes, line.bytes.back() == '\n', line.ended);
  // No request waits: a reply that came after its request was given up, or one nobody asked for.
  const bool late = std::any_of(recent_.begin(), recent_.end(), [&](const sim::RequestWords& w) {
    std::string name = w.command->mnemonic;
    for (const int32_t address : w.addresses) name += " " + std::to_string(address);
    return named(line.bytes, w.command->addressCount) == name;
  });
  watchRecord(Direction::kToHost, line,
              late ? facts::WatchVerdict::kLateReply : facts::WatchVerdict::kUnasked);
}

void Watcher::close(std::string reply, bool lineComplete, const Moment& at) {
  Pending pending = std::move(*pending_);
  pending_.reset();
  controllerPartial_.clear();
  host::Item item = itemOf(pending.words);
  const facts::ItemKindInfo& kind = *item.kind;
  const facts::LineCommand& command = *pending.words.command;
  // The driver judges a load level's echo with the modifier it holds: hold the host's.
  if (command.takesModifier && pending.words.modifier.value_or(0) != modifier_) {
    modifier_ = pending.words.modifier.value_or(0);
    RSDATA record{};
    record.value = static_cast<float>(modifier_);
    record.direction = 1;
    host::Item modifierItem;
    modifierItem.kind = &facts::itemKindInfo(ItemKind::Modifier);
    IA address = modifierItem.address();
    ReplayTransport none("", false);
    host::runTransaction(driver_, address, 0, &record, none, {timeout_, false}, nullptr);
  }
  RSDATA records[host::kFirmwareRecords] = {};
  if (pending.words.value) {
    records[0].value = static_cast<float>(*pending.words.value);
    records[0].direction = 1;
  }
  IA address = item.address();
  ReplayTransport transport(reply, lineComplete);
  const host::TransactionResult result = host::runTransaction(
      driver_, address, kind.addressCount, records, transport, {timeout_, false}, nullptr);
  const line::Reading reading = line::readingOf(result, kind);

  Exchange record;
  record.time = pending.sent.wall;
  record.item = item.describe();
  record.request = pending.request;
  record.reply = reply;
  if (lineComplete) {
    record.replyTime = duration_cast<microseconds>(at.steady - pending.sent.steady);
  }
  record.verdict = reading.row().name;
  record.words = reading.row().words;
  if (!reading.detail.empty()) record.words += ": " + reading.detail;
  if (reading.completed()) {
    if (reading.firmware) {
      record.value =
          line::versionOf(*reading.firmware) + " " + line::calendarDateOf(*reading.firmware);
    } else if (pending.words.value) {
      record.value = std::to_string(reading.sentValue.value_or(*pending.words.value));
    } else {
      record.value = number(reading.value);
    }
  }
  made_.push_back(std::move(record));
  remember(std::move(pending.words));
}

void Watcher::remember(sim::RequestWords closed) {
  recent_.push_back(std::move(closed));
  if (recent_.size() > kRecentKept) recent_.pop_front();
}

}  // namespace zephlor::monitor
