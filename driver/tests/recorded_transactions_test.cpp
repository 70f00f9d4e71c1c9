// The recorded transactions shared with the Windows test host, replayed in order on one freshly
// loaded driver through the loader.
#include "../../tests/transaction_replay.h"

#include "driver_fixture.h"

namespace zephlor::testing {
namespace {

using RecordedTransactions = DriverTest;

TEST_F(RecordedTransactions, BehaveAsRecorded) {
  for (const replay::RecordedTransaction& transaction : replay::kRecordedTransactions) {
    const char* difference = replay::replay(driver_, transaction);
    EXPECT_EQ(difference, nullptr) << transaction.name << ": " << difference;
  }
}

}  // namespace
}  // namespace zephlor::testing
