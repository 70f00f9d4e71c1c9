// The driver's entry points, loaded from the built plug-in as the host loads it, called in an
// order and on item addresses, records, directions, value types, value bytes and replies that
// the fuzzer chooses. Guard records and guard bytes surround everything the driver is given.
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz_input.h"
#include "zephlor_host/driver_module.h"

namespace {

using zephlor::fuzz::FuzzInput;
using zephlor::fuzz::Guarded;

zephlor::host::DriverModule* driverModule = nullptr;

[[noreturn]] void fail(const char* what) {
  fprintf(stderr, "driver_fuzzer: %s\n", what);
  abort();
}

void check(bool ok, const char* what) {
  if (!ok) fail(what);
}

constexpr int kRecords = 5;  // a firmware read fills five

struct Records {
  Guarded<sizeof(RSDATA) * kRecords> bytes;
  RSDATA* first() { return reinterpret_cast<RSDATA*>(bytes.buffer); }
};

IA takeItem(FuzzInput& in) {
  IA item;
  for (unsigned char& b : item.bytes) b = in.byte();
  // Kinds the driver serves are the interesting ones; let most inputs land on them.
  if (item.fields.kind & 0x80) item.fields.kind = static_cast<unsigned char>(item.fields.kind % 10);
  return item;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  driverModule = new zephlor::host::DriverModule;
  std::string error;
  if (!driverModule->load(OSTERFELL_PLUGIN_PATH, error)) fail(error.c_str());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const zephlor::host::DriverEntryPoints& driver = driverModule->entryPoints();
  FuzzInput in(data, size);
  for (int call = 0; call < 16 && !in.empty(); ++call) {
    IA item = takeItem(in);
    const IA itemBefore = item;
    Records records;
    for (char& b : records.bytes.buffer) b = static_cast<char>(in.byte());
    RSDATA* record = records.first();
    const uint8_t operation = in.byte();
    switch (operation % 6) {
      case 0: {               // Set_xxx
        Guarded<33> request;  // the longest line and its NUL
        memset(request.buffer, 'Z', sizeof request.buffer);
        unsigned length = 0xFFFF, code = 0xFFFF;
        int unused = 0;
        driver.set(item, length, code, unused, record, request.buffer, nullptr);
        check(request.intact(), "Set_xxx wrote outside the request buffer");
        check(length <= 32, "a request line longer than 32 characters");
        check(code == (length != 0 ? 100u : 0u), "requestCode does not match requestLength");
        if (length != 0) check(strlen(request.buffer) == length, "the line's NUL is misplaced");
        break;
      }
      case 1: {  // Check_xxx
        const std::string received = in.text(64);
        char* reply = static_cast<char*>(malloc(received.size() + 1));
        memcpy(reply, received.c_str(), received.size() + 1);
        unsigned length = static_cast<unsigned>(received.size());
        unsigned a = 7, b = 7;
        const int result = driver.check(item, length, a, b, reply, nullptr, 0);
        check(result == 0 || result == 4 || result == 9 || result == 10, "odd Check_xxx result");
        check(result == 0 ? (a == 7 && b == 7) : (a == 0 && b == 0), "check values mishandled");
        free(reply);
        break;
      }
      case 2: {  // Get_xxx
        const std::string received = in.text(256);
        char* reply = static_cast<char*>(malloc(received.size() + 1));
        memcpy(reply, received.c_str(), received.size() + 1);
        unsigned unused = 0;
        int count = -1, parseCode = -1;
        const int result = driver.get(item, unused, count, record, reply, parseCode, nullptr);
        check(result == 50, "Get_xxx did not return 50");
        check(count == -1 || count == 1 || count == 5, "odd recordCount");
        free(reply);
        break;
      }
      case 3: {  // zCompare_xxx, sometimes of an item with itself
        IA other = takeItem(in);
        int unused = 0;
        const int result = (in.byte() & 1)
                               ? driver.compare(0, item, item, unused, nullptr, nullptr)
                               : driver.compare(0, item, other, unused, nullptr, nullptr);
        check(result >= 0 && result <= 256, "zCompare_xxx out of range");
        break;
      }
      case 4: {  // Prepare_xxx
        Guarded<8> name;
        int code = -1, fourth = 5;
        check(driver.prepare(0, name.buffer, code, fourth) == 0, "Prepare_xxx did not return 0");
        check(name.intact() && code == 0 && fourth == 5, "Prepare_xxx wrote too much");
        break;
      }
      default: {
        unsigned a = 0, b = 0;
        char buffer[4] = {};
        check(driver.readAny(item, a, b, buffer) == 0, "zReadAny_xxx did not return 0");
        driver.stub();
        break;
      }
    }
    check(records.bytes.intact(), "a record outside the five given was written");
    check(memcmp(&item, &itemBefore, sizeof item) == 0, "the item address was changed");
  }
  return 0;
}
