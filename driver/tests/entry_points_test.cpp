// The entry points that do not run a transaction: naming, item comparison, the reply frame check
// and the two that do nothing.
#include "driver_fixture.h"

namespace zephlor::testing {
namespace {

using EntryPoints = DriverTest;

TEST_F(EntryPoints, PrepareWritesTheNameAndNothingMore) {
  char name[12];
  memset(name, 'x', sizeof name);
  int prepareCode = -1;
  int fourth = 1234;
  EXPECT_EQ(driver_.prepare(0, name, prepareCode, fourth), 0);
  EXPECT_EQ(std::string(name, 8), std::string("Zephlor\0", 8));
  EXPECT_EQ(std::string(name + 8, 4), "xxxx");
  EXPECT_EQ(prepareCode, 0);
  EXPECT_EQ(fourth, 1234);
}

TEST_F(EntryPoints, ReadAnyAndStubChangeNothing) {
  IA item = makeItem(3, 1, 2, 3, 4);
  const IA before = item;
  unsigned a = 11, b = 22;
  char buffer[4] = {'a', 'b', 'c', '\0'};
  EXPECT_EQ(driver_.readAny(item, a, b, buffer), 0);
  driver_.stub();
  EXPECT_EQ(memcmp(&item, &before, sizeof item), 0);
  EXPECT_EQ(a, 11u);
  EXPECT_EQ(b, 22u);
  EXPECT_STREQ(buffer, "abc");
}

struct CompareCase {
  const char* name;
  IA a;
  IA b;
  int expected;
};

// Names the case in test listings and failure messages.
void PrintTo(const CompareCase& c, std::ostream* out) { *out << c.name; }

class CompareItems : public DriverTest, public ::testing::WithParamInterface<CompareCase> {};

TEST_P(CompareItems, DecidesByTheFirstItemsKind) {
  CompareCase c = GetParam();
  int unused = 0;
  const IA aBefore = c.a, bBefore = c.b;
  EXPECT_EQ(driver_.compare(0, c.a, c.b, unused, nullptr, nullptr), c.expected) << c.name;
  EXPECT_EQ(memcmp(&aBefore, &c.a, sizeof c.a), 0);
  EXPECT_EQ(memcmp(&bBefore, &c.b, sizeof c.b), 0);
}

IA withHostByte(IA item, unsigned char hostByte) {
  item.fields.hostByte = hostByte;
  return item;
}

INSTANTIATE_TEST_SUITE_P(
    Driver, CompareItems,
    ::testing::Values(
        CompareCase{"station vs thermostat, same addresses", makeItem(3, 1, 2, 3),
                    makeItem(5, 1, 2, 3), 1},
        CompareCase{"led differs only in addr4", makeItem(1, 1, 2, 3, 4), makeItem(1, 1, 2, 3, 9),
                    1},
        CompareCase{"led differs in addr3", makeItem(1, 1, 2, 3), makeItem(1, 1, 2, 4), 0},
        CompareCase{"module differs only in addr4", makeItem(2, 1, 2, 3, 4),
                    makeItem(2, 1, 2, 3, 9), 0},
        CompareCase{"module equal", makeItem(2, 1, 2, 3, 4), makeItem(2, 1, 2, 3, 4), 1},
        CompareCase{"module profile differs in addr4", makeItem(7, 1, 2, 3, 4),
                    makeItem(7, 1, 2, 3, 5), 0},
        CompareCase{"station profile ignores addr4", makeItem(8, 1, 2, 3, 4),
                    makeItem(8, 1, 2, 3, 5), 1},
        CompareCase{"contactor compares addr1 only", makeItem(4, 9, 1, 2, 3),
                    makeItem(4, 9, 7, 7, 7), 1},
        CompareCase{"contactor addr1 differs", makeItem(4, 9), makeItem(4, 8), 0},
        CompareCase{"switch", makeItem(6, 5, 5, 5), makeItem(6, 5, 5, 6), 0},
        CompareCase{"firmware addr2 0", makeItem(0, 7, 3), makeItem(0, 7, 0), 1},
        CompareCase{"firmware addr2 255", makeItem(0, 7), makeItem(0, 7, 255), 256},
        CompareCase{"firmware other addr1", makeItem(0, 7, 1, 1, 1), makeItem(0, 6, 1, 1, 1), 0},
        CompareCase{"firmware ignores second kind", makeItem(0, 7), makeItem(4, 7, 4), 5},
        CompareCase{"modifier always alike", makeItem(9, 1, 2, 3, 4), makeItem(9, 5, 6, 7, 8), 1},
        CompareCase{"kind 10 never alike", makeItem(10, 1, 2, 3, 4), makeItem(10, 1, 2, 3, 4), 0},
        CompareCase{"kind 255 never alike", makeItem(255), makeItem(255), 0},
        CompareCase{"host byte 0 not compared", withHostByte(makeItem(2, 1, 2, 3, 4), 1),
                    withHostByte(makeItem(2, 1, 2, 3, 4), 2), 1}));

TEST_F(EntryPoints, CompareOfAnItemWithItselfIsAlwaysAlike) {
  int unused = 0;
  for (int kind = 0; kind < 256; ++kind) {
    IA item = makeItem(static_cast<unsigned char>(kind), 1, 2, 3, 4);
    EXPECT_EQ(driver_.compare(0, item, item, unused, nullptr, nullptr), 1) << "kind " << kind;
  }
}

struct CheckCase {
  const char* received;
  unsigned length;  // bytes received, which may stop short of the text
  int expected;
};

// Names the case in test listings and failure messages.
void PrintTo(const CheckCase& c, std::ostream* out) { *out << c.received; }

class CheckReplies : public DriverTest, public ::testing::WithParamInterface<CheckCase> {};

TEST_P(CheckReplies, JudgeOnlyTheFrame) {
  const CheckCase& c = GetParam();
  char buffer[16] = {};
  memcpy(buffer, c.received, strlen(c.received));
  unsigned length = c.length;
  unsigned a = 0xAAAA, b = 0xBBBB;
  IA item = makeItem(3);
  EXPECT_EQ(driver_.check(item, length, a, b, buffer, nullptr, 0), c.expected) << c.received;
  const bool accepted = c.expected == 0;
  EXPECT_EQ(a, accepted ? 0xAAAAu : 0u);
  EXPECT_EQ(b, accepted ? 0xBBBBu : 0u);
  EXPECT_EQ(length, c.length);
}

INSTANTIATE_TEST_SUITE_P(Driver, CheckReplies,
                         ::testing::Values(CheckCase{"", 0, 9}, CheckCase{"R", 1, 4},
                                           CheckCase{"RGC#", 4, 4}, CheckCase{"RGC# ", 5, 0},
                                           CheckCase{"XGC# 1", 6, 10}, CheckCase{"R12#5", 5, 0},
                                           CheckCase{"RGC 1 2", 7, 10}, CheckCase{"rgc# 1", 6, 10},
                                           CheckCase{"RGC# 1 2 3 75\r\n", 15, 0},
                                           CheckCase{"RGC# 1", 0xFFFFFFFFu, 0}));

}  // namespace
}  // namespace zephlor::testing
