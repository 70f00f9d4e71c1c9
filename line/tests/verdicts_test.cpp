// The verdict table against what the tools make of it: each verdict's name, exit status, retry and
// sentence come from its row, and a reading fills the sentence's fields from what it carries.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "zephlor_facts/verdicts.h"
#include "zephlor_line/reading.h"

namespace zephlor::line {
namespace {

using namespace std::chrono_literals;

TEST(Verdicts, EveryVerdictHasOneRowWithAllItsFacts) {
  std::set<std::string> names;
  for (const facts::VerdictRow& row : facts::kVerdicts) {
    const bool good = row.outcome == TransactionOutcome::kCompleted;
    SCOPED_TRACE(row.name);
    EXPECT_NE(*row.words, '\0');
    EXPECT_EQ(good, *row.summary == '\0');
    EXPECT_EQ(good, *row.sentence == '\0');
    EXPECT_EQ(good, row.exitCode == kSuccess);
    // A failed line is no garbled reply: asking again on it is pointless.
    EXPECT_FALSE(row.lineFailed && row.retried);
    // One name per verdict, but for the two ways a line fails, which a sample tells alike.
    if (!row.lineFailed) {
      EXPECT_TRUE(names.insert(row.name).second);
    }
  }
}

TEST(Verdicts, ASentenceIsFilledFromTheReading) {
  Reading reading;
  reading.request = "GC# 1 2 3\r\n";
  reading.reply = std::string(300, '7');
  reading.detail = "the device server hung up";
  reading.replyTime = 12500us;
  const struct {
    TransactionOutcome verdict;
    std::string told;
  } cases[] = {
      {TransactionOutcome::kNoReply, "no reply within 250 ms to \"GC# 1 2 3\\r\\n\""},
      {TransactionOutcome::kTooLong,
       "reply too long, over 256 bytes before its line end: \"" + std::string(32, '7') + "\"..."},
      {TransactionOutcome::kOtherItem, "the device server hung up"},
      {TransactionOutcome::kCompleted, ""},
  };
  for (const auto& c : cases) {
    reading.verdict = c.verdict;
    EXPECT_EQ(explain(reading, 250ms), c.told);
  }
  reading.verdict = TransactionOutcome::kReceiveFailed;
  reading.reply.clear();
  EXPECT_EQ(explain(reading, 250ms),
            "the line failed: the device server hung up, no reply had arrived");
}

TEST(Verdicts, AFirmwareReadIsTakenApartAndAWriteYieldsNoValue) {
  host::TransactionResult result;
  const float parts[5] = {2, 10, 22, 11, 33};
  for (int i = 0; i < 5; ++i) result.records[i].value = parts[i];
  const Reading firmware = readingOf(result, facts::itemKindInfo(ItemKind::Firmware));
  ASSERT_TRUE(firmware.firmware.has_value());
  EXPECT_EQ(versionOf(*firmware.firmware), "2.10");
  EXPECT_EQ(calendarDateOf(*firmware.firmware), "2033-11-22");

  result.records[0].direction = 1;
  const Reading written = readingOf(result, facts::itemKindInfo(ItemKind::Switch));
  EXPECT_FALSE(written.firmware.has_value());
  EXPECT_EQ(written.value, 0.0f);
}

}  // namespace
}  // namespace zephlor::line
