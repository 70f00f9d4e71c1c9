// The item catalogue that the tools name items by, held against the plug-in itself: for every
// kind, Set_xxx on the loaded plug-in builds a read line exactly when the catalogue says the kind
// is readable, a write line exactly when it is writable, and each line carries the catalogue's
// number of address numbers. The level modifier alone lives in the driver, with no line.
#include <gtest/gtest.h>

#include <cstddef>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

#include "osterfell/host_codes.h"
#include "zephlor_facts/item_catalogue.h"
#include "zephlor_host/driver_module.h"

namespace zephlor::host {
namespace {

using osterfell::host_codes::kRequestLineBuilt;

// The words of the line Set_xxx builds for `kind`, or nothing when it builds none.
std::vector<std::string> requestWords(const DriverEntryPoints& driver, ItemKind kind, bool write) {
  IA item{};
  item.fields.kind = static_cast<unsigned char>(kind);
  item.fields.addr1 = 11;
  item.fields.addr2 = 22;
  item.fields.addr3 = 33;
  item.fields.addr4 = 44;
  RSDATA records[5] = {};
  records[0].direction = write ? 1 : 0;
  records[0].value = 7;
  char line[64] = {};
  unsigned length = 0;
  unsigned code = 0;
  int unused = 0;
  driver.set(item, length, code, unused, records, line, nullptr);
  if (code != kRequestLineBuilt) return {};
  std::istringstream words(std::string(line, length));
  return {std::istream_iterator<std::string>(words), {}};
}

TEST(ItemCatalogue, AgreesWithThePlugin) {
  DriverModule module;
  std::string error;
  ASSERT_TRUE(module.load(OSTERFELL_PLUGIN_PATH, error)) << error;
  const std::vector<std::string> addresses = {"11", "22", "33", "44"};
  for (const facts::ItemKindInfo& info : facts::kItemCatalogue) {
    SCOPED_TRACE(info.name);
    const bool modifier = info.kind == ItemKind::Modifier;
    const auto read = requestWords(module.entryPoints(), info.kind, false);
    const auto written = requestWords(module.entryPoints(), info.kind, true);
    EXPECT_EQ(!read.empty(), info.readable && !modifier);
    EXPECT_EQ(!written.empty(), info.writable && !modifier);
    const std::ptrdiff_t count = info.addressCount;
    const auto given = std::vector<std::string>(addresses.begin(), addresses.begin() + count);
    if (!read.empty()) {
      // The mnemonic, then the address numbers alone.
      EXPECT_EQ(std::vector<std::string>(read.begin() + 1, read.end()), given);
    }
    if (!written.empty()) {
      // The mnemonic, the address numbers, then the value (and a load level's modifier).
      ASSERT_GT(written.size(), given.size() + 1);
      EXPECT_EQ(std::vector<std::string>(written.begin() + 1, written.begin() + 1 + count), given);
      EXPECT_EQ(written[given.size() + 1], "7");
    }
  }
}

}  // namespace
}  // namespace zephlor::host
