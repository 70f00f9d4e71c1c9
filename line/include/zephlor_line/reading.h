// What one transaction gave, as a structure for the tools to format: the verdict, the value read
// (a number, or the firmware's parts), the value sent, the reply time, and the detail that goes
// with a failure. Nothing here is prose to be read back.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "osterfell/host_records.h"
#include "zephlor_facts/item_catalogue.h"
#include "zephlor_host/transaction.h"

namespace zephlor::line {

using facts::TransactionOutcome;

// The firmware's identity as its five records carry it; the date as the controller sends it,
// the year in two digits.
struct FirmwareParts {
  float major = 0;
  float minor = 0;
  float day = 0;
  float month = 0;
  float year = 0;
};

// "2.10": major and minor.
std::string versionOf(const FirmwareParts& parts);
// "2033-11-22": the date as a calendar date.
std::string calendarDateOf(const FirmwareParts& parts);

struct Reading {
  TransactionOutcome verdict = TransactionOutcome::kCompleted;
  float value = 0;                        // a read's value, when it completed
  std::optional<FirmwareParts> firmware;  // a firmware read's, instead of `value`
  std::optional<int64_t> sentValue;       // a write's value field as it went on the line
  std::chrono::microseconds replyTime{0};
  std::string detail;   // the transport's or the reply reader's words, such as why the line failed
  std::string warning;  // what a lenient reading let through, empty when nothing
  std::string request;  // the line sent, empty when none was built
  std::string reply;    // the bytes received
  int attempts = 0;     // transactions run for it: one, and one more for each retry

  bool completed() const { return verdict == TransactionOutcome::kCompleted; }
  const facts::VerdictRow& row() const { return facts::verdictRow(verdict); }
};

// Reads `result`, for a completed read of `kind` its records too.
Reading readingOf(const host::TransactionResult& result, const facts::ItemKindInfo& kind);

// The verdict's sentence for a person, its fields filled in from `reading`; empty for a success.
std::string explain(const Reading& reading, std::chrono::milliseconds timeout);

}  // namespace zephlor::line
