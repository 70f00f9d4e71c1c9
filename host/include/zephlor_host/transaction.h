// One transaction driven through the plug-in's entry points in the host's order: Set_xxx, send
// the request line, receive the reply, Check_xxx, Get_xxx.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "zephlor_facts/verdicts.h"
#include "zephlor_host/driver_module.h"
#include "zephlor_host/line_transport.h"

namespace zephlor::host {

// The one verdict on a transaction. It is decided here, from the request, the raw reply bytes and
// the driver's codes; what each verdict means to every tool is its row in the verdict table.
using facts::TransactionOutcome;

struct TransactionRules {
  std::chrono::milliseconds timeout{1000};
  // A reply that names another item or carries a field that is not a number is let through to
  // the driver, with `warning` saying what was wrong; by default it fails the transaction.
  bool lenient = false;
};

// Sees every line as it crosses the wire, with the time since the transport was opened.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void sent(const std::string& bytes) = 0;
  virtual void received(const std::string& bytes, bool lineComplete) = 0;
};

// The records a firmware read fills; every other transaction has one.
constexpr int kFirmwareRecords = 5;

struct TransactionResult {
  TransactionOutcome outcome = TransactionOutcome::kCompleted;
  std::string request;               // the line sent, empty when none was built
  std::optional<int64_t> sentValue;  // a write's value field as it went on the line
  std::string reply;                 // the bytes received (at most kReplyCapacity of them)
  int checkResult = -1;              // Check_xxx's result, -1 when it was not called
  int parseCode = 0;
  int recordCount = 0;
  RSDATA records[kFirmwareRecords] = {};  // the caller's records as the transaction left them
  std::string error;    // why, for kSendFailed, kReceiveFailed, kOtherItem and kNotANumber
  std::string warning;  // what a lenient transaction let through, empty when nothing
  std::chrono::microseconds replyTime{0};  // from the end of sending to the end of receiving
};

// More than any reply line of the controller can hold; a longer line is too long and never
// parsed.
constexpr size_t kReplyCapacity = 256;

// Runs one transaction for `item`, whose request carries `addressCount` address numbers, on
// `records` (five of them for a firmware read). A write is a record with a non-zero `direction`.
// For the level modifier, which exchanges no line, it calls Set_xxx and, for a write, Get_xxx.
TransactionResult runTransaction(const DriverEntryPoints& driver, IA& item, int addressCount,
                                 RSDATA* records, LineTransport& transport,
                                 const TransactionRules& rules, TraceSink* trace);

}  // namespace zephlor::host
