// How zephlorctl reports readings: every verdict by its row of the verdict table, and CSV records
// with each reading in its own column, whatever the order and however often an item is named.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <sstream>

#include "item_readings.h"
#include "results.h"
#include "session.h"

namespace zephlor::ctl {
namespace {

TEST(Outcomes, EveryVerdictIsReportedByItsRow) {
  std::string error;
  size_t at = 0;
  const Item item = *parseItem({"led", "1", "2", "3"}, at, error);
  for (const facts::VerdictRow& row : facts::kVerdicts) {
    SCOPED_TRACE(row.name);
    line::Reading reading;
    reading.verdict = row.outcome;
    reading.request = "VLS# 1 2 3\r\n";
    reading.detail = "the device server hung up";
    const Outcome outcome = reportedOutcome(item, reading, std::chrono::milliseconds(1000));
    if (row.exitCode == kStoppedBySignal) {
      EXPECT_GE(outcome.code, kStoppedBySignal);
    } else {
      EXPECT_EQ(outcome.code, row.exitCode);
    }
    EXPECT_EQ(outcome.reason, line::explain(reading, std::chrono::milliseconds(1000)));
    EXPECT_EQ(outcome.message.empty(), row.outcome == facts::TransactionOutcome::kCompleted);
    // Programs read the cause by the verdict's own name, as the gateway's quality has it.
    if (outcome.code != kSuccess) {
      EXPECT_EQ(causeOf(outcome), row.name);
    }
    if (!outcome.message.empty()) {
      EXPECT_EQ(outcome.message, "led 1 2 3: " + outcome.reason);
    }
  }
}

// 2026-12-09T10:00:00.123Z.
const auto kTenInTheMorning =
    std::chrono::system_clock::time_point(std::chrono::milliseconds(1796810400123LL));

TEST(CsvRecords, PutEachReadingInItsOwnColumn) {
  std::ostringstream out;
  Results results(Format::kCsv, out);
  results.setColumns({"led 1 2 3", "switch 1 1 4", "led 1 2 3", "thermostat 1 2 1"});
  results.record({{"led 1 2 3", {"1", 1.0, {}}, "", "", ""},
                  {"switch 1 1 4", {}, "switch 1 1 4: no reply", "", "no-reply"},
                  {"led 1 2 3", {"0", 0.0, {}}, "", "led 1 2 3: another item", ""}},
                 kTenInTheMorning);
  EXPECT_EQ(out.str(),
            "time,led 1 2 3,switch 1 1 4,led 1 2 3,thermostat 1 2 1,errors,causes\r\n"
            "2026-12-09T10:00:00.123Z,1,,0,,switch 1 1 4: no reply; led 1 2 3: another item,"
            "no-reply\r\n");
}

TEST(CsvRecords, TellLocalTimeWithoutAZoneWhenAsked) {
  setenv("TZ", "XYZ-2", 1);  // two hours east of UTC, whatever the machine's zone
  tzset();
  std::ostringstream out;
  Results results(Format::kCsv, out, nullptr, false, true);
  results.setColumns({"led 1 2 3"});
  results.record({{"led 1 2 3", {"1", 1.0, {}}, "", "", ""}}, kTenInTheMorning);
  EXPECT_EQ(out.str(), "time,led 1 2 3,errors,causes\r\n2026-12-09 12:00:00.123,1,,\r\n");
}

}  // namespace
}  // namespace zephlor::ctl
