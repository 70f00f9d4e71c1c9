// One transaction driven through the plug-in's entry points in the host's order: Set_xxx, send
// the request line, receive the reply, Check_xxx, Get_xxx.
#pragma once

#include <chrono>
#include <string>

#include "zephlor_host/driver_module.h"
#include "zephlor_host/line_transport.h"

namespace zephlor::host {

enum class TransactionOutcome {
  kCompleted,      // a read yielded its value(s), or a write was confirmed
  kNothingToSend,  // Set_xxx built no line for a kind that needs one
  kSendFailed,     // the transport could not send the request (within the timeout)
  kReceiveFailed,  // the line failed or hung up while receiving
  kInterrupted,    // a stop was requested while sending or receiving
  kNoReply,        // nothing arrived before the timeout (Check_xxx 9)
  kIncomplete,     // bytes arrived, but no line end before the timeout; never parsed
  kRefused,        // Check_xxx refused the bytes received (4: too short, 10: wrong frame)
  kNotParsed,      // Get_xxx could not parse the reply of a read (parseCode 99)
  kNotConfirmed,   // Get_xxx judged the acknowledgement of a write unconfirmed (status 1)
};

// Sees every line as it crosses the wire, with the time since the transport was opened.
class TraceSink {
 public:
  virtual ~TraceSink() = default;
  virtual void sent(const std::string& bytes) = 0;
  virtual void received(const std::string& bytes, bool lineComplete) = 0;
};

struct TransactionResult {
  TransactionOutcome outcome = TransactionOutcome::kCompleted;
  std::string request;   // the line sent, empty when none was built
  std::string reply;     // the bytes received
  int checkResult = -1;  // Check_xxx's result, -1 when it was not called
  int parseCode = 0;
  int recordCount = 0;
  std::string error;  // the transport's explanation for kSendFailed and kReceiveFailed
  std::chrono::microseconds replyTime{0};  // from the end of sending to the end of receiving
};

// The longest reply a transaction keeps; longer lines are cut (the parsers read from the start).
constexpr size_t kReplyCapacity = 256;

// Runs one transaction for `item` on `records` (five of them for a firmware read). A write is a
// record with a non-zero `direction`. For the level modifier, which exchanges no line, it calls
// Set_xxx and, for a write, Get_xxx.
TransactionResult runTransaction(const DriverEntryPoints& driver, IA& item, RSDATA* records,
                                 LineTransport& transport, std::chrono::milliseconds timeout,
                                 TraceSink* trace);

}  // namespace zephlor::host
