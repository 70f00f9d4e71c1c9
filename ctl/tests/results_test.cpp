// CSV records: each reading in its own column, whatever the order and however often an item is
// named, and the cells of readings a record lacks left empty.
#include <gtest/gtest.h>

#include <sstream>

#include "results.h"

namespace zephlor::ctl {
namespace {

TEST(CsvRecords, PutEachReadingInItsOwnColumn) {
  std::ostringstream out;
  Results results(Format::kCsv, out);
  results.setColumns({"led 1 2 3", "switch 1 1 4", "led 1 2 3", "thermostat 1 2 1"});
  results.record({{"led 1 2 3", {"1", 1.0, {}}, "", ""},
                  {"switch 1 1 4", {}, "switch 1 1 4: no reply", ""},
                  {"led 1 2 3", {"0", 0.0, {}}, "", "led 1 2 3: another item"}},
                 "T");
  EXPECT_EQ(out.str(),
            "time,led 1 2 3,switch 1 1 4,led 1 2 3,thermostat 1 2 1,errors\r\n"
            "T,1,,0,,switch 1 1 4: no reply; led 1 2 3: another item\r\n");
}

}  // namespace
}  // namespace zephlor::ctl
