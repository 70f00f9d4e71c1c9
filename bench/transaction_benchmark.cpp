// A read and a write transaction through the plug-in's entry points, the codec calls alone, and
// a minimal hand-written formatter and scanner for the same lines: the distance to the limit.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "benchmarks.h"
#include "wirelex.h"
#include "zephlor_host/driver_module.h"

namespace {

namespace names = transaction_names;

// The least a formatter can do for "V??# a b c[ v]\r\n" with small numbers.
char* putSmall(char* out, unsigned value) {
  if (value >= 100) *out++ = static_cast<char>('0' + value / 100);
  if (value >= 10) *out++ = static_cast<char>('0' + value / 10 % 10);
  *out++ = static_cast<char>('0' + value % 10);
  return out;
}

int handFormat(const char* mnemonic, const unsigned* numbers, int count, char* line) {
  char* out = line;
  *out++ = 'V';
  *out++ = mnemonic[0];
  *out++ = mnemonic[1];
  *out++ = '#';
  for (int i = 0; i < count; ++i) {
    *out++ = ' ';
    out = putSmall(out, numbers[i] & 0xFF);
  }
  *out++ = '\r';
  *out++ = '\n';
  *out = '\0';
  return static_cast<int>(out - line);
}

// The least a scanner can do for "R??# a b c v": check the frame, step over the fields, convert
// the last one.
bool handScan(const char* mnemonic, int fields, const char* reply, int* value) {
  if (reply[0] != 'R' || reply[1] != mnemonic[0] || reply[2] != mnemonic[1] || reply[3] != '#') {
    return false;
  }
  const char* in = reply + 4;
  int number = 0;
  for (int field = 0; field < fields; ++field) {
    while (*in == ' ') ++in;
    const bool negative = *in == '-';
    if (negative) ++in;
    if (*in < '0' || *in > '9') return false;
    number = 0;
    while (*in >= '0' && *in <= '9') number = number * 10 + (*in++ - '0');
    if (negative) number = -number;
  }
  *value = number;
  return true;
}

std::unique_ptr<zephlor::host::DriverModule> driverModule;

void driverTransaction(benchmark::State& state, unsigned char direction, const char* reply) {
  const zephlor::host::DriverEntryPoints& driver = driverModule->entryPoints();
  IA item{};
  item.fields = {0, 3, 1, 2, 3, 0};
  RSDATA record{};
  record.value = 75.0f;
  record.direction = direction;
  char request[33];
  char replyBuffer[64];
  std::strcpy(replyBuffer, reply);
  unsigned length = 0, code = 0, received = static_cast<unsigned>(std::strlen(reply)), a = 0, b = 0;
  int unused = 0, count = 0, parseCode = 0;
  for (auto _ : state) {
    driver.set(item, length, code, unused, &record, request, nullptr);
    benchmark::DoNotOptimize(driver.check(item, received, a, b, replyBuffer, nullptr, 0));
    benchmark::DoNotOptimize(
        driver.get(item, length, count, &record, replyBuffer, parseCode, nullptr));
    benchmark::ClobberMemory();
  }
  if (record.status != 0) state.SkipWithError("the transaction did not succeed");
}

}  // namespace

void registerTransactionBenchmarks(const std::string& pluginPath) {
  driverModule = std::make_unique<zephlor::host::DriverModule>();
  std::string error;
  if (!driverModule->load(pluginPath, error)) {
    std::fprintf(stderr, "%s\n", error.c_str());
    std::exit(3);
  }
  benchmark::RegisterBenchmark(names::kRead, [](benchmark::State& state) {
    driverTransaction(state, 0, names::kReadReply);
  })->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark(names::kWrite, [](benchmark::State& state) {
    driverTransaction(state, 1, names::kWriteReply);
  })->Unit(benchmark::kNanosecond);

  benchmark::RegisterBenchmark(names::kCodecRead, [](benchmark::State& state) {
    char line[WIRELEX_MAX_LINE + 1];
    int32_t length = 0, value = 0;
    for (auto _ : state) {
      FillQueryStationLoadLevel(1, 2, 3, line, &length);
      benchmark::DoNotOptimize(ParseStationLoadLevel(names::kReadReply, &value));
      benchmark::ClobberMemory();
    }
  })->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark(names::kCodecWrite, [](benchmark::State& state) {
    char line[WIRELEX_MAX_LINE + 1];
    int32_t length = 0;
    for (auto _ : state) {
      FillSetStationLoadLevel(1, 2, 3, 75, 0, line, &length);
      benchmark::DoNotOptimize(ParseSetStationLoadLevel(names::kWriteReply, 75));
      benchmark::ClobberMemory();
    }
  })->Unit(benchmark::kNanosecond);

  benchmark::RegisterBenchmark(names::kHandRead, [](benchmark::State& state) {
    char line[WIRELEX_MAX_LINE + 1];
    const unsigned numbers[] = {1, 2, 3};
    int value = 0;
    for (auto _ : state) {
      benchmark::DoNotOptimize(handFormat("GC", numbers, 3, line));
      benchmark::DoNotOptimize(handScan("GC", 4, names::kReadReply, &value));
      benchmark::ClobberMemory();
    }
  })->Unit(benchmark::kNanosecond);
  benchmark::RegisterBenchmark(names::kHandWrite, [](benchmark::State& state) {
    char line[WIRELEX_MAX_LINE + 1];
    const unsigned numbers[] = {1, 2, 3, 75};
    int value = 0;
    for (auto _ : state) {
      benchmark::DoNotOptimize(handFormat("LC", numbers, 4, line));
      benchmark::DoNotOptimize(handScan("LC", 4, names::kWriteReply, &value) && value == 75);
      benchmark::ClobberMemory();
    }
  })->Unit(benchmark::kNanosecond);
}
