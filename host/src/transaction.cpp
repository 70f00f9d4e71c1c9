#include "zephlor_host/transaction.h"

#include <algorithm>

#include "osterfell/host_codes.h"
#include "zephlor_host/reply_line.h"

namespace zephlor::host {
namespace {

using namespace osterfell::host_codes;

bool isModifierItem(const IA& item) {
  return item.fields.kind == static_cast<unsigned char>(ItemKind::Modifier);
}

TransactionOutcome outcomeOf(ReplyFault fault) {
  return fault == ReplyFault::kOtherItem ? TransactionOutcome::kOtherItem
                                         : TransactionOutcome::kNotANumber;
}

TransactionResult transactionSteps(const DriverEntryPoints& driver, IA& item, int addressCount,
                                   RSDATA* records, LineTransport& transport,
                                   const TransactionRules& rules, TraceSink* trace) {
  TransactionResult result;
  const bool isWrite = records[0].direction != 0;
  char request[64] = {};
  unsigned requestLength = 0;
  unsigned requestCode = 0;
  int unused = 0;
  driver.set(item, requestLength, requestCode, unused, records, request, nullptr);

  char reply[kReplyCapacity + 1] = {};
  unsigned ignored = 0;
  if (requestCode != kRequestLineBuilt) {
    // Only the level modifier is served without a line; its write is confirmed by Get_xxx.
    if (!isModifierItem(item)) {
      result.outcome = TransactionOutcome::kNothingToSend;
    } else if (isWrite) {
      driver.get(item, ignored, result.recordCount, records, reply, result.parseCode, nullptr);
    }
    return result;
  }
  result.request.assign(request, requestLength);
  if (isWrite) result.sentValue = requestValueField(result.request, addressCount);

  if (!transport.discardPendingInput()) {
    // A peer that streams would swamp any reply; a write that never left is no write.
    result.outcome = TransactionOutcome::kNotSilent;
    result.sentValue.reset();
    return result;
  }
  switch (transport.send(request, requestLength, rules.timeout, result.error)) {
    case SendStatus::kSent:
      break;
    case SendStatus::kFailed:
      result.outcome = TransactionOutcome::kSendFailed;
      return result;
    case SendStatus::kInterrupted:
      result.outcome = TransactionOutcome::kInterrupted;
      return result;
  }
  if (trace != nullptr) trace->sent(result.request);

  const auto started = std::chrono::steady_clock::now();
  const ReceiveResult received = transport.receiveLine(reply, kReplyCapacity, rules.timeout);
  result.replyTime = std::chrono::duration_cast<std::chrono::microseconds>(
      std::chrono::steady_clock::now() - started);
  reply[received.length] = '\0';
  result.reply.assign(reply, received.length);
  if (trace != nullptr && received.length != 0)
    trace->received(result.reply, received.lineComplete);
  if (received.interrupted) {
    result.outcome = TransactionOutcome::kInterrupted;
    return result;
  }
  if (received.failed) {
    result.outcome = TransactionOutcome::kReceiveFailed;
    result.error = received.error;
    return result;
  }
  // A reply cut off, by the deadline or by its length, may look like a whole one with a shorter
  // value ("RGC# 1 2 3 7" of "... 75"): it is never handed to the driver.
  if (received.overflowed) {
    result.outcome = TransactionOutcome::kTooLong;
    return result;
  }
  if (received.length != 0 && !received.lineComplete) {
    result.outcome = TransactionOutcome::kIncomplete;
    return result;
  }

  unsigned receivedLength = static_cast<unsigned>(received.length);
  unsigned checkValueA = 0;
  unsigned checkValueB = 0;
  result.checkResult =
      driver.check(item, receivedLength, checkValueA, checkValueB, reply, nullptr, 0);
  if (result.checkResult != kCheckAccepted) {
    result.outcome = result.checkResult == kCheckNothingReceived ? TransactionOutcome::kNoReply
                     : result.checkResult == kCheckTooShort      ? TransactionOutcome::kTooShort
                                                                 : TransactionOutcome::kNotAFrame;
    return result;
  }

  const bool firmware = item.fields.kind == static_cast<unsigned char>(ItemKind::Firmware);
  ReplyReading reading = readReplyLine(result.request, result.reply, addressCount, firmware);
  if (reading.fault != ReplyFault::kNone) {
    if (!rules.lenient) {
      result.outcome = outcomeOf(reading.fault);
      result.error = std::move(reading.explanation);
      return result;
    }
    result.warning = std::move(reading.explanation);
  }

  driver.get(item, ignored, result.recordCount, records, reply, result.parseCode, nullptr);
  if (isWrite && records[0].status != kStatusConfirmed) {
    result.outcome = TransactionOutcome::kNotConfirmed;
  } else if (!isWrite && result.parseCode == kParseCodeRefused) {
    result.outcome = TransactionOutcome::kNotParsed;
  }
  return result;
}

}  // namespace

TransactionResult runTransaction(const DriverEntryPoints& driver, IA& item, int addressCount,
                                 RSDATA* records, LineTransport& transport,
                                 const TransactionRules& rules, TraceSink* trace) {
  TransactionResult result =
      transactionSteps(driver, item, addressCount, records, transport, rules, trace);
  const bool firmware = item.fields.kind == static_cast<unsigned char>(ItemKind::Firmware);
  std::copy(records, records + (firmware ? kFirmwareRecords : 1), result.records);
  return result;
}

}  // namespace zephlor::host
