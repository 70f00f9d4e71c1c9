// Every way one transaction can end, one row each, with all that is said about it: its name (the
// gateway's quality word), the name a poll's summary counts it under, the exit status it gives,
// whether --retries asks again after it, whether it means the line itself failed, a few words for
// people, and the sentence zephlorctl tells. The enum, the names and the lookups are all made from
// this one list, so no tool spells a verdict of its own.
#pragma once

#include <cstddef>

#include "zephlor_facts/exit_codes.h"
#include "zephlor_text/table_rows.h"

// The sentence may name, in braces: {request} and {reply} as quoted bytes, {head} (the first 32
// bytes of the reply), {length} (the reply's bytes), {capacity} (the longest reply taken),
// {timeout}, {time} (the reply time), {error} (the transport's or the reader's words) and
// {after} (what had arrived before the line failed).
//
// Retried: line noise or a stale reply rather than the controller's considered answer, so asking
// again is safe, for a write too, since it sends the same value.
//
// clang-format off
#define ZEPHLOR_VERDICTS(XX)                                                                       \
  /* id, name, summary, exit status, retried, line failed, words, sentence */                     \
  XX(kCompleted, "good", "", kSuccess, false, false,                                               \
     "completed", "")                                                                              \
  XX(kNothingToSend, "no-request", "other", kUsage, false, false,                                  \
     "the driver has no request for this item", "the driver has no request for this item")         \
  XX(kSendFailed, "line-down", "line failed", kDeviceError, false, true,                           \
     "the line failed while sending", "the line failed while sending {request}: {error}")          \
  XX(kReceiveFailed, "line-down", "line failed", kDeviceError, false, true,                        \
     "the line failed while receiving", "the line failed: {error}{after}")                         \
  XX(kInterrupted, "stopped", "other", kStoppedBySignal, false, false,                             \
     "stopped while waiting on the line", "stopped while waiting on the line")                     \
  XX(kNoReply, "no-reply", "no reply", kNoReply, true, false,                                      \
     "no reply within the timeout", "no reply within {timeout} to {request}")                      \
  XX(kIncomplete, "incomplete", "incomplete", kNoReply, true, false,                               \
     "an incomplete reply, no line end within the timeout",                                        \
     "incomplete reply, no line end within {timeout}: {reply} ({length} bytes)")                   \
  XX(kTooLong, "too-long", "too long", kReplyNotParsed, true, false,                               \
     "a reply over 256 bytes before its line end",                                                 \
     "reply too long, over {capacity} bytes before its line end: {head}...")                       \
  XX(kTooShort, "too-short", "refused", kReplyRefused, true, false,                                \
     "a reply refused by the driver as too short",                                                 \
     "reply refused, too short ({length} bytes): {reply}")                                         \
  XX(kNotAFrame, "not-a-frame", "refused", kReplyRefused, true, false,                             \
     "a reply that is not R, two letters and #",                                                   \
     "reply refused, it does not begin with R, two letters and #: {reply}")                        \
  XX(kOtherItem, "another-item", "not parsed", kReplyNotParsed, true, false,                       \
     "a reply for another item", "{error}")                                                        \
  XX(kNotANumber, "not-a-number", "not parsed", kReplyNotParsed, true, false,                      \
     "a reply field that is not a number", "{error}")                                              \
  XX(kNotParsed, "not-parsed", "not parsed", kReplyNotParsed, false, false,                        \
     "a reply the driver could not parse",                                                         \
     "reply does not parse as an answer to {request}: {reply}")                                    \
  XX(kNotConfirmed, "not-confirmed", "not confirmed", kWriteNotConfirmed, false, false,            \
     "the controller did not confirm the write",                                                   \
     "the controller did not confirm the write: sent {request}, echo {reply} after {time}")        \
  XX(kNotSilent, "not-silent", "not silent", kDeviceError, false, false,                           \
     "bytes keep arriving unasked; the request was not sent",                                      \
     "the line does not fall silent: bytes keep arriving unasked, so {request} was not sent")
// clang-format on

// What only a monitor of a line that another host drives sees: not how one transaction ended, but
// how the two sides' lines fit together. Its records carry these names where a transaction's
// verdict does not apply.
//
// clang-format off
#define ZEPHLOR_WATCH_VERDICTS(XX)                                                                 \
  /* id, name, words */                                                                          \
  XX(kNoReplyBeforeNext, "no-reply-before-next", "no reply before the next request")              \
  XX(kRequestWhileDue, "request-while-due", "a request while the reply was arriving")             \
  XX(kLateReply, "late-reply", "a reply to an earlier request")                                   \
  XX(kUnasked, "unasked-reply", "a reply with no request before it")                              \
  XX(kNotARequest, "not-a-request", "bytes that are no request")
// clang-format on

namespace zephlor::facts {

enum class TransactionOutcome {
#define ZEPHLOR_VERDICT_ID(id, ...) id,
  ZEPHLOR_VERDICTS(ZEPHLOR_VERDICT_ID)
#undef ZEPHLOR_VERDICT_ID
};

struct VerdictRow {
  TransactionOutcome outcome;
  const char* name;     // the gateway's quality word
  const char* summary;  // what a poll's summary counts it as; empty for a success
  ExitCode exitCode;    // kStoppedBySignal stands for 128 plus the signal's number
  bool retried;
  bool lineFailed;
  const char* words;     // a few words for people
  const char* sentence;  // zephlorctl's sentence, with the fields named above in braces
};

inline constexpr VerdictRow kVerdicts[] = {
#define ZEPHLOR_VERDICT_ROW(id, name, summary, code, retried, failed, words, sentence) \
  {TransactionOutcome::id, name, summary, code, retried, failed, words, sentence},
    ZEPHLOR_VERDICTS(ZEPHLOR_VERDICT_ROW)
#undef ZEPHLOR_VERDICT_ROW
};
static_assert(text::rowsFollowTheirKeys(kVerdicts, &VerdictRow::outcome),
              "row i of the verdicts is TransactionOutcome i");

inline constexpr const VerdictRow& verdictRow(TransactionOutcome outcome) {
  return kVerdicts[static_cast<size_t>(outcome)];
}

enum class WatchVerdict {
#define ZEPHLOR_WATCH_VERDICT_ID(id, ...) id,
  ZEPHLOR_WATCH_VERDICTS(ZEPHLOR_WATCH_VERDICT_ID)
#undef ZEPHLOR_WATCH_VERDICT_ID
};

struct WatchVerdictRow {
  WatchVerdict verdict;
  const char* name;
  const char* words;
};

inline constexpr WatchVerdictRow kWatchVerdicts[] = {
#define ZEPHLOR_WATCH_VERDICT_ROW(id, name, words) {WatchVerdict::id, name, words},
    ZEPHLOR_WATCH_VERDICTS(ZEPHLOR_WATCH_VERDICT_ROW)
#undef ZEPHLOR_WATCH_VERDICT_ROW
};
static_assert(text::rowsFollowTheirKeys(kWatchVerdicts, &WatchVerdictRow::verdict),
              "row i of the watch verdicts is WatchVerdict i");

inline constexpr const WatchVerdictRow& watchVerdictRow(WatchVerdict verdict) {
  return kWatchVerdicts[static_cast<size_t>(verdict)];
}

}  // namespace zephlor::facts
