// The one plug-in shared by many lines: writes on many lines at once, each waiting for its echo
// while the others' writes go out, get the verdict each would get alone, and no line waits on
// another's wire to get it.
#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "zephlor_facts/item_catalogue.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_host/item_names.h"
#include "zephlor_host/transaction.h"
#include "zephlor_line/shared_plugin.h"

namespace zephlor::line {
namespace {

using namespace std::chrono_literals;

// Holds every line's reply until all lines have sent their request, so that every write's
// Set_xxx comes between another's Set_xxx and its Check_xxx. A line that must wait on another's
// wire to get here never arrives: the meeting then breaks and says so.
class Meeting {
 public:
  explicit Meeting(int parties) : parties_(parties) {}
  bool arrive() {
    std::unique_lock<std::mutex> hold(mutex_);
    if (broken_) return false;
    const long round = round_;
    if (++arrived_ == parties_) {
      arrived_ = 0;
      ++round_;
      everyone_.notify_all();
      return true;
    }
    broken_ = !everyone_.wait_for(hold, 5s, [&] { return round_ != round || broken_; });
    everyone_.notify_all();
    return !broken_;
  }
  bool broken() const { return broken_; }

 private:
  std::mutex mutex_;
  std::condition_variable everyone_;
  const int parties_;
  int arrived_ = 0;
  long round_ = 0;
  bool broken_ = false;
};

// A controller that echoes a write, or echoes another value when told to.
class EchoingLine : public host::LineTransport {
 public:
  EchoingLine(Meeting& meeting, bool& echoOtherValue)
      : meeting_(meeting), echoOtherValue_(echoOtherValue) {}
  bool discardPendingInput() override { return true; }
  host::SendStatus send(const char* data, size_t length, std::chrono::milliseconds,
                        std::string&) override {
    request_.assign(data, length);
    return host::SendStatus::kSent;
  }
  host::ReceiveResult receiveLine(char* buffer, size_t capacity,
                                  std::chrono::milliseconds) override {
    meeting_.arrive();
    std::string reply = "R" + request_.substr(1, request_.size() - 3);  // without CR LF
    if (echoOtherValue_) {
      const size_t value = reply.rfind(' ') + 1;
      reply = reply.substr(0, value) + std::to_string(std::stoi(reply.substr(value)) + 1);
    }
    reply += "\r\n";
    host::ReceiveResult result;
    result.length = std::min(capacity, reply.size());
    reply.copy(buffer, result.length);
    result.lineComplete = true;
    return result;
  }

 private:
  Meeting& meeting_;
  bool& echoOtherValue_;
  std::string request_;
};

TEST(SharedPlugin, WritesOnManyLinesAtOnceGetTheVerdictsOfWritesAlone) {
  SharedPlugin plugin;
  std::string error;
  ASSERT_TRUE(plugin.load(OSTERFELL_PLUGIN_PATH, error)) << error;
  const host::DriverEntryPoints& shared = plugin.entryPoints();
  constexpr size_t kLines = 8;
  constexpr size_t kWrites = 20;
  // Line l's write w is echoed with another value on every third write: not confirmed.
  const auto confirmed = [](size_t line, size_t write) { return (line + write) % 3 != 0; };
  Meeting meeting(static_cast<int>(kLines));
  std::vector<std::vector<host::TransactionOutcome>> verdicts(kLines);
  std::vector<std::thread> lines;
  for (size_t line = 0; line < kLines; ++line) {
    lines.emplace_back([&, line] {
      bool echoOther = false;
      EchoingLine wire(meeting, echoOther);
      host::Item item{facts::itemKindNamed("station-level"),
                      {1, 2, static_cast<unsigned char>(line + 1), 0}};
      for (size_t write = 0; write < kWrites; ++write) {
        echoOther = !confirmed(line, write);
        RSDATA record{};
        record.direction = 1;
        record.value = static_cast<float>(10 * line + write);  // no two writes alike
        IA address = item.address();
        verdicts[line].push_back(
            host::runTransaction(shared, address, 3, &record, wire, {}, nullptr).outcome);
      }
    });
  }
  for (std::thread& line : lines) line.join();
  EXPECT_FALSE(meeting.broken()) << "a line waited on another's wire";
  for (size_t line = 0; line < kLines; ++line) {
    for (size_t write = 0; write < kWrites; ++write) {
      EXPECT_EQ(verdicts[line][write], confirmed(line, write)
                                           ? host::TransactionOutcome::kCompleted
                                           : host::TransactionOutcome::kNotConfirmed)
          << "line " << line << ", write " << write;
    }
  }
}

}  // namespace
}  // namespace zephlor::line
