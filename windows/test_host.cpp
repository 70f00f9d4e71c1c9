// A Windows host in miniature: it loads osterfell.dll with LoadLibrary (which brings in
// wirelex.dll through the import table), finds the seven entry points by their decorated names,
// shows that both modules' DllMain ran and turned off thread notifications, and replays the
// recorded transactions, malformed replies included. It needs no C runtime start-up, so it runs
// on any Windows loader, Wine's included. Prints one line per failure and "N passed, M failed".
#include <windows.h>

#include "../tests/transaction_replay.h"

#if defined(ZEPHLOR_NO_CRT)
// Floating point is used; without the Microsoft runtime the module defines this marker itself.
extern "C" int _fltused = 0;
#endif

namespace {

using zephlor::host::DriverEntryPoints;

HANDLE output;

void print(const char* text) {
  DWORD written = 0;
  WriteFile(output, text, static_cast<DWORD>(strlen(text)), &written, nullptr);
}

void printNumber(unsigned number) {
  char digits[12];
  int at = sizeof digits - 1;
  digits[at] = '\0';
  do {
    digits[--at] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number != 0);
  print(digits + at);
}

unsigned passed = 0;
unsigned failed = 0;

void expect(bool ok, const char* what, const char* detail = nullptr) {
  if (ok) {
    ++passed;
    return;
  }
  ++failed;
  print("FAILED: ");
  print(what);
  if (detail != nullptr) {
    print(": ");
    print(detail);
  }
  print("\r\n");
}

// The loader's flag for a module that asked, through DisableThreadLibraryCalls, not to be
// called for thread attach and detach; it sits in the module's loader entry.
constexpr ULONG kDontCallForThreads = 0x00040000;
#if defined(_WIN64)
constexpr size_t kLoaderEntryFlagsOffset = 0x68;
#else
constexpr size_t kLoaderEntryFlagsOffset = 0x34;
#endif

using FindLoaderEntry = LONG(WINAPI*)(void* address, void** entry);

bool threadCallsDisabled(HMODULE module) {
  const auto find = reinterpret_cast<FindLoaderEntry>(reinterpret_cast<void*>(
      GetProcAddress(GetModuleHandleA("ntdll.dll"), "LdrFindEntryForAddress")));
  void* entry = nullptr;
  if (find == nullptr || find(module, &entry) != 0 || entry == nullptr) return false;
  ULONG flags = 0;
  memcpy(&flags, static_cast<char*>(entry) + kLoaderEntryFlagsOffset, sizeof flags);
  return (flags & kDontCallForThreads) != 0;
}

void checkLoading(HMODULE driver, DriverEntryPoints& entryPoints) {
  const char* missing = zephlor::host::resolveEntryPoints(
      [driver](const char* name) { return reinterpret_cast<void*>(GetProcAddress(driver, name)); },
      entryPoints);
  expect(missing == nullptr, "entry point not found", missing);

  const HMODULE codec = GetModuleHandleA("wirelex.dll");
  expect(codec != nullptr, "wirelex.dll was not loaded with osterfell.dll");
  expect(threadCallsDisabled(driver), "osterfell.dll's DllMain did not turn off thread calls");
  expect(codec != nullptr && threadCallsDisabled(codec),
         "wirelex.dll's DllMain did not turn off thread calls");
}

void checkSimpleEntryPoints(const DriverEntryPoints& driver) {
  char name[12];
  memset(name, 'x', sizeof name);
  int code = -1, fourth = 5;
  expect(driver.prepare(0, name, code, fourth) == 0, "Prepare_xxx result");
  expect(memcmp(name, "Zephlor\0xxxx", sizeof name) == 0 && code == 0 && fourth == 5,
         "Prepare_xxx wrote other than the name");

  IA a, b;
  a.fields = {0, 0, 7, 3, 0, 0};
  b.fields = {0, 0, 7, 255, 0, 0};
  int unused = 0;
  expect(driver.compare(0, a, b, unused, nullptr, nullptr) == 256, "zCompare_xxx of firmware");
  a.fields.kind = 200;
  expect(driver.compare(0, a, a, unused, nullptr, nullptr) == 1, "zCompare_xxx of itself");
  expect(driver.compare(0, a, b, unused, nullptr, nullptr) == 0, "zCompare_xxx of kind 200");
  unsigned x = 1, y = 2;
  expect(driver.readAny(a, x, y, name) == 0 && x == 1 && y == 2, "zReadAny_xxx");
  driver.stub();
}

int runHost() {
  output = GetStdHandle(STD_OUTPUT_HANDLE);
  const HMODULE driver = LoadLibraryA("osterfell.dll");
  expect(driver != nullptr, "LoadLibrary(osterfell.dll) failed");
  if (driver != nullptr) {
    DriverEntryPoints entryPoints;
    checkLoading(driver, entryPoints);
    if (entryPoints.stub != nullptr) {
      checkSimpleEntryPoints(entryPoints);
      for (const auto& transaction : zephlor::replay::kRecordedTransactions) {
        // Once only: the table relies on the driver-wide values each transaction leaves.
        const char* difference = zephlor::replay::replay(entryPoints, transaction);
        expect(difference == nullptr, transaction.name, difference);
      }
    }
  }
  printNumber(passed);
  print(" passed, ");
  printNumber(failed);
  print(" failed\r\n");
  return failed == 0 && passed > 0 ? 0 : 1;
}

}  // namespace

#if defined(ZEPHLOR_NO_CRT)
// The process entry point when there is no C runtime to call main.
extern "C" void hostMain() { ExitProcess(static_cast<UINT>(runHost())); }
#else
int main() { return runHost(); }
#endif
