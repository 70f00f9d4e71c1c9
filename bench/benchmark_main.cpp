// Runs every benchmark, then sets the transaction costs against the time the same lines take on
// the wire and against the hand-written baseline, all from this one run.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "benchmarks.h"

namespace {

namespace names = transaction_names;

// Keeps each benchmark's time per iteration in nanoseconds as it reports it.
class CollectingReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.run_type == Run::RT_Iteration && !run.error_occurred) {
        nanoseconds[run.benchmark_name()] =
            run.GetAdjustedRealTime() * 1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit);
      }
    }
  }
  std::map<std::string, double> nanoseconds;
};

// 8N1: a start bit, eight data bits and a stop bit for every byte.
double wireNanoseconds(const char* request, const char* reply, int baud) {
  const double bytes = static_cast<double>(std::strlen(request) + std::strlen(reply));
  return bytes * 10.0 / baud * 1e9;
}

void summarise(const std::map<std::string, double>& ns, const char* what, const char* transaction,
               const char* codec, const char* hand, const char* request, const char* reply) {
  const auto found = [&](const char* name) {
    const auto at = ns.find(name);
    return at != ns.end() ? at->second : 0.0;
  };
  const double cost = found(transaction);
  if (cost <= 0.0) return;
  std::printf(
      "%-6s %6.1f ns through the entry points (codec alone %.1f ns, hand-written %.1f ns)\n", what,
      cost, found(codec), found(hand));
  for (int baud : {9600, 115200}) {
    const double wire = wireNanoseconds(request, reply, baud);
    std::printf(
        "       %zu bytes on the wire at %6d baud: %9.0f ns; the transaction costs %.2e "
        "of that\n",
        std::strlen(request) + std::strlen(reply), baud, wire, cost / wire);
  }
  if (found(hand) > 0.0) {
    std::printf("       %.2f times the hand-written formatter and scanner (codec alone %.2f)\n",
                cost / found(hand), found(codec) / found(hand));
  }
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  registerCodecBenchmarks();
  registerTransactionBenchmarks(OSTERFELL_PLUGIN_PATH);
  registerTcpSimulatorBenchmark(ZEPHLOR_SIM_PATH);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  std::printf("\nTransaction cost against the wire (8N1, ten bit times per byte)\n");
  summarise(reporter.nanoseconds, "read", names::kRead, names::kCodecRead, names::kHandRead,
            names::kReadRequest, names::kReadReply);
  summarise(reporter.nanoseconds, "write", names::kWrite, names::kCodecWrite, names::kHandWrite,
            names::kWriteRequest, names::kWriteReply);
  benchmark::Shutdown();
  return 0;
}
