// Every builder and every parser of the codec, one benchmark each.
#include <benchmark/benchmark.h>

#include "benchmarks.h"
#include "wirelex.h"

namespace {

using Build = int32_t (*)(char*, int32_t*);
using ParseValue = bool (*)(const char*, int32_t*);
using ParseAcknowledgement = bool (*)(const char*, int32_t);

struct BuilderCase {
  const char* name;
  Build build;
};

const BuilderCase kBuilders[] = {
    {"FillQueryFirmware", [](char* l, int32_t* n) { return FillQueryFirmware(1, l, n); }},
    {"FillQueryLEDState", [](char* l, int32_t* n) { return FillQueryLEDState(1, 2, 3, l, n); }},
    {"FillQueryModuleLoadLevel",
     [](char* l, int32_t* n) { return FillQueryModuleLoadLevel(1, 2, 3, 4, l, n); }},
    {"FillQueryStationLoadLevel",
     [](char* l, int32_t* n) { return FillQueryStationLoadLevel(1, 2, 3, l, n); }},
    {"FillQueryContactorLoadLevel",
     [](char* l, int32_t* n) { return FillQueryContactorLoadLevel(4, l, n); }},
    {"FillQueryThermostat", [](char* l, int32_t* n) { return FillQueryThermostat(1, 2, 3, l, n); }},
    {"FillQuerySwitch", [](char* l, int32_t* n) { return FillQuerySwitch(1, 2, 3, l, n); }},
    {"FillSetLEDState", [](char* l, int32_t* n) { return FillSetLEDState(1, 2, 3, 1, l, n); }},
    {"FillSetModuleLoadLevel",
     [](char* l, int32_t* n) { return FillSetModuleLoadLevel(1, 2, 3, 4, 50, 7, l, n); }},
    {"FillSetStationLoadLevel",
     [](char* l, int32_t* n) { return FillSetStationLoadLevel(1, 2, 3, 75, 0, l, n); }},
    {"FillSetContactorLoadLevel",
     [](char* l, int32_t* n) { return FillSetContactorLoadLevel(4, 100, 7, l, n); }},
    {"FillSetThermostat", [](char* l, int32_t* n) { return FillSetThermostat(1, 2, 3, -5, l, n); }},
    {"FillSetSwitch", [](char* l, int32_t* n) { return FillSetSwitch(1, 2, 3, 1, l, n); }},
    {"FillSetModuleLoadProfile",
     [](char* l, int32_t* n) { return FillSetModuleLoadProfile(1, 2, 3, 4, 3, l, n); }},
    {"FillSetStationLoadProfile",
     [](char* l, int32_t* n) { return FillSetStationLoadProfile(1, 2, 3, 2, l, n); }},
};

struct ValueParserCase {
  const char* name;
  ParseValue parse;
  const char* reply;
};

const ValueParserCase kValueParsers[] = {
    {"ParseLEDState", ParseLEDState, "RLS# 1 2 3 1\r\n"},
    {"ParseModuleLoadLevel", ParseModuleLoadLevel, "RGB# 1 2 3 4 80\r\n"},
    {"ParseStationLoadLevel", ParseStationLoadLevel, "RGC# 1 2 3 75\r\n"},
    {"ParseContactorLoadLevel", ParseContactorLoadLevel, "RGL# 4 100\r\n"},
    {"ParseThermostat", ParseThermostat, "RGH# 1 2 3 -40\r\n"},
    {"ParseSwitch", ParseSwitch, "RGS# 1 2 3 0\r\n"},
};

struct AcknowledgementCase {
  const char* name;
  ParseAcknowledgement parse;
  const char* reply;
  int32_t expected;
};

const AcknowledgementCase kAcknowledgements[] = {
    {"ParseSetLEDState", ParseSetLEDState, "RLD# 1 2 3 1\r\n", 1},
    {"ParseSetModuleLoadLevel", ParseSetModuleLoadLevel, "RLB# 1 2 3 4 50\r\n", 50},
    {"ParseSetStationLoadLevel", ParseSetStationLoadLevel, "RLC# 1 2 3 75\r\n", 75},
    {"ParseSetContactorLoadLevel", ParseSetContactorLoadLevel, "RLO# 4 100\r\n", 100},
    {"ParseSetThermostat", ParseSetThermostat, "RSH# 1 2 3 -5\r\n", -5},
    {"ParseSetSwitch", ParseSetSwitch, "RSW# 1 2 3 1\r\n", 1},
    {"ParseSetModuleLoadProfile", ParseSetModuleLoadProfile, "RLP# 1 2 3 4 3\r\n", 3},
    {"ParseSetStationLoadProfile", ParseSetStationLoadProfile, "RSP# 1 2 3 2\r\n", 2},
};

}  // namespace

void registerCodecBenchmarks() {
  for (const BuilderCase& c : kBuilders) {
    benchmark::RegisterBenchmark(c.name, [&c](benchmark::State& state) {
      char line[WIRELEX_MAX_LINE + 1];
      int32_t length = 0;
      for (auto _ : state) {
        benchmark::DoNotOptimize(c.build(line, &length));
        benchmark::ClobberMemory();
      }
    })->Unit(benchmark::kNanosecond);
  }
  for (const ValueParserCase& c : kValueParsers) {
    benchmark::RegisterBenchmark(c.name, [&c](benchmark::State& state) {
      int32_t out = 0;
      for (auto _ : state) {
        benchmark::DoNotOptimize(c.parse(c.reply, &out));
        benchmark::ClobberMemory();
      }
    })->Unit(benchmark::kNanosecond);
  }
  benchmark::RegisterBenchmark("ParseFirmware", [](benchmark::State& state) {
    FirmwareInfo info;
    for (auto _ : state) {
      benchmark::DoNotOptimize(ParseFirmware("RGV# 1 VER 2.10 11/22/33\r\n", &info));
      benchmark::ClobberMemory();
    }
  })->Unit(benchmark::kNanosecond);
  for (const AcknowledgementCase& c : kAcknowledgements) {
    benchmark::RegisterBenchmark(c.name, [&c](benchmark::State& state) {
      for (auto _ : state) benchmark::DoNotOptimize(c.parse(c.reply, c.expected));
    })->Unit(benchmark::kNanosecond);
  }
}
