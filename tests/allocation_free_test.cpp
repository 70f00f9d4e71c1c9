// Neither library allocates: every codec function and every entry point runs, on valid and
// invalid input and for every item kind in both directions, while this binary counts calls to
// the allocation functions.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "wirelex.h"
#include "zephlor_host/driver_module.h"

// glibc's own allocator, which the replacements below hand every request on to.
extern "C" {
void* __libc_malloc(size_t size);
void* __libc_calloc(size_t count, size_t size);
void* __libc_realloc(void* block, size_t size);
void* __libc_memalign(size_t alignment, size_t size);
void __libc_free(void* block);
}

namespace {

std::atomic<bool> counting{false};
std::atomic<int> allocations{0};

void note() {
  if (counting.load(std::memory_order_relaxed)) allocations.fetch_add(1);
}

}  // namespace

// Replacing these in the executable replaces them for every library it loads.
extern "C" {
void* malloc(size_t size) {
  note();
  return __libc_malloc(size);
}
void* calloc(size_t count, size_t size) {
  note();
  return __libc_calloc(count, size);
}
void* realloc(void* block, size_t size) {
  note();
  return __libc_realloc(block, size);
}
void* memalign(size_t alignment, size_t size) {
  note();
  return __libc_memalign(alignment, size);
}
int posix_memalign(void** block, size_t alignment, size_t size) {
  note();
  *block = __libc_memalign(alignment, size);
  return *block != nullptr ? 0 : ENOMEM;
}
void* aligned_alloc(size_t alignment, size_t size) {
  note();
  return __libc_memalign(alignment, size);
}
void free(void* block) { __libc_free(block); }
}

namespace {

// Counts the allocations made while `work` runs.
template <typename Work>
int allocationsDuring(Work work) {
  allocations = 0;
  counting = true;
  work();
  counting = false;
  return allocations;
}

// The volatile pointers keep the compiler from eliding the allocation pairs.
TEST(AllocationFree, TheCounterSeesAllocations) {
  EXPECT_EQ(allocationsDuring([] {
              void* volatile block = malloc(16);
              free(block);
            }),
            1);
  EXPECT_EQ(allocationsDuring([] {
              int* volatile number = new int(5);
              delete number;
            }),
            1);
}

const char* const kReplies[] = {
    "RGV# 1 VER 2.10 11/22/33\r\n",
    "RGC# 1 2 3 75\r\n",
    "RLC# 1 2 3 75\r\n",
    "RSH# 1 2 3 -5\r\n",
    "RGC# 1 2 3",
    " RGC# 1 2 3 75",
    "RGC# 1 2 3 99999999999",
    "",
    "R\xff#\x01",
};

TEST(AllocationFree, CodecFunctions) {
  char line[WIRELEX_MAX_LINE + 1];
  int32_t length = 0;
  const int allocated = allocationsDuring([&] {
    for (int32_t n : {0, 75, 255, 256, -1, INT32_MIN, INT32_MAX}) {
      FillQueryFirmware(n, line, &length);
      FillQueryLEDState(n, n, n, line, &length);
      FillQueryModuleLoadLevel(n, n, n, n, line, &length);
      FillQueryStationLoadLevel(n, n, n, line, &length);
      FillQueryContactorLoadLevel(n, line, &length);
      FillQueryThermostat(n, n, n, line, &length);
      FillQuerySwitch(n, n, n, line, &length);
      FillSetLEDState(n, n, n, n, line, &length);
      FillSetModuleLoadLevel(n, n, n, n, n, n, line, &length);
      FillSetStationLoadLevel(n, n, n, n, n, line, &length);
      FillSetContactorLoadLevel(n, n, n, line, &length);
      FillSetThermostat(n, n, n, n, line, &length);
      FillSetSwitch(n, n, n, n, line, &length);
      FillSetModuleLoadProfile(n, n, n, n, n, line, &length);
      FillSetStationLoadProfile(n, n, n, n, line, &length);
    }
    for (const char* reply : kReplies) {
      FirmwareInfo info;
      int32_t out = 0;
      ParseFirmware(reply, &info);
      ParseLEDState(reply, &out);
      ParseModuleLoadLevel(reply, &out);
      ParseStationLoadLevel(reply, &out);
      ParseContactorLoadLevel(reply, &out);
      ParseThermostat(reply, &out);
      ParseSwitch(reply, &out);
      ParseSetLEDState(reply, 75);
      ParseSetModuleLoadLevel(reply, 75);
      ParseSetStationLoadLevel(reply, 75);
      ParseSetContactorLoadLevel(reply, 75);
      ParseSetThermostat(reply, 75);
      ParseSetSwitch(reply, 75);
      ParseSetModuleLoadProfile(reply, 75);
      ParseSetStationLoadProfile(reply, 75);
    }
  });
  EXPECT_EQ(allocated, 0);
}

TEST(AllocationFree, DriverEntryPoints) {
  zephlor::host::DriverModule module;
  std::string error;
  ASSERT_TRUE(module.load(OSTERFELL_PLUGIN_PATH, error)) << error;
  const zephlor::host::DriverEntryPoints& driver = module.entryPoints();

  const int allocated = allocationsDuring([&] {
    char name[8];
    int code = 0, unused = 0;
    driver.prepare(0, name, code, unused);
    driver.stub();
    for (int kind = 0; kind < 256; ++kind) {
      for (int direction : {0, 1}) {
        for (int valueType : {0, 64}) {
          IA item{};
          item.fields = {0, static_cast<unsigned char>(kind), 1, 2, 3, 4};
          IA other = item;
          RSDATA records[5] = {};
          records[0].value = 75.6f;
          records[0].valueType = static_cast<unsigned char>(valueType);
          records[0].direction = static_cast<unsigned char>(direction);
          char request[33];
          unsigned length = 0, requestCode = 0, a = 0, b = 0;
          int count = 0, parseCode = 0;
          driver.set(item, length, requestCode, unused, records, request, nullptr);
          driver.compare(0, item, other, unused, nullptr, nullptr);
          driver.readAny(item, a, b, request);
          for (const char* reply : kReplies) {
            char buffer[64];
            strcpy(buffer, reply);
            unsigned received = static_cast<unsigned>(strlen(reply));
            driver.check(item, received, a, b, buffer, nullptr, 0);
            driver.get(item, a, count, records, buffer, parseCode, nullptr);
          }
        }
      }
    }
  });
  EXPECT_EQ(allocated, 0);
}

}  // namespace
