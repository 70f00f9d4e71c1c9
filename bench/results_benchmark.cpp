// zephlorctl's records of a poll's sample, by format: the cost of a record grows with its items
// alone, so a wide poll to CSV costs what it costs to JSON.
#include <benchmark/benchmark.h>

#include <chrono>
#include <sstream>

#include "results.h"

namespace {

using zephlor::ctl::Format;

void recordSamples(benchmark::State& state, Format format) {
  std::vector<std::string> columns;
  std::vector<zephlor::ctl::Reading> readings;
  for (long i = 0; i < state.range(0); ++i) {
    columns.push_back("station-level " + std::to_string(i / 65536) + " " +
                      std::to_string(i / 256 % 256) + " " + std::to_string(i % 256));
    readings.push_back({columns.back(), {"75", 75.0, {}}, "", "", ""});
  }
  std::ostringstream out;
  zephlor::ctl::Results results(format, out);
  results.setColumns(columns);
  for (auto _ : state) {
    out.str("");
    results.record(readings, std::chrono::system_clock::time_point());
    benchmark::DoNotOptimize(out.str().size());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_CsvRecord(benchmark::State& state) { recordSamples(state, Format::kCsv); }
void BM_JsonRecord(benchmark::State& state) { recordSamples(state, Format::kJson); }
BENCHMARK(BM_CsvRecord)->Arg(1000)->Arg(16000);
BENCHMARK(BM_JsonRecord)->Arg(1000)->Arg(16000);

}  // namespace
