// The benchmark program's parts.
#pragma once

#include <string>

// One benchmark per codec builder and parser.
void registerCodecBenchmarks();

// Whole transactions through the plug-in's entry points, and the hand-written baseline for the
// same lines. The names are those that main's summary looks up.
void registerTransactionBenchmarks(const std::string& pluginPath);

// The simulator program serving 100 TCP clients at once: connection and transaction times.
void registerTcpSimulatorBenchmark(const std::string& simulatorPath);

namespace transaction_names {
constexpr const char* kRead = "Transaction/read station-level";
constexpr const char* kWrite = "Transaction/write station-level";
constexpr const char* kCodecRead = "Codec only/read station-level";
constexpr const char* kCodecWrite = "Codec only/write station-level";
constexpr const char* kHandRead = "Hand-written/read station-level";
constexpr const char* kHandWrite = "Hand-written/write station-level";
// The lines of the two transactions, CR LF included.
constexpr const char* kReadRequest = "VGC# 1 2 3\r\n";
constexpr const char* kReadReply = "RGC# 1 2 3 75\r\n";
constexpr const char* kWriteRequest = "VLC# 1 2 3 75\r\n";
constexpr const char* kWriteReply = "RLC# 1 2 3 75\r\n";
}  // namespace transaction_names
