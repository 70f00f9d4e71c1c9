#include "line_conformance.h"

#include <cstdlib>
#include <thread>

#include "zephlor_host/transaction.h"
#include "zephlor_text/visible_bytes.h"

namespace zephlor::conformance {

const std::vector<Case>& cases() {
  using std::chrono::milliseconds;
  static const std::vector<Case> all = {
      {"whole reply", {{milliseconds(0), "RGC# 1 2 3 75\r\n"}}, false, false, "RGC# 1 2 3 75\r\n"},
      {"split reply",
       {{milliseconds(0), "RGC# 1 2"}, {milliseconds(40), " 3 75"}, {milliseconds(40), "\r\n"}},
       false,
       false,
       "RGC# 1 2 3 75\r\n"},
      {"over-long line",
       {{milliseconds(0), std::string(300, 'x') + "\r\n"}},
       false,
       false,
       std::string(host::kReplyCapacity, 'x'),
       true,
       true},
      {"no line end", {{milliseconds(0), "RGC# 1 2 3 7"}}, false, false, "RGC# 1 2 3 7", false},
      {"late stale reply",
       {{milliseconds(0), "RGC# 4 5 6 9\r\n"}},
       false,
       true,
       "RGC# 4 5 6 9\r\n"},
      {"hang-up", {}, true, false, "", false, false, true},
  };
  return all;
}

std::string requestFor(size_t index) { return "VGC# " + std::to_string(index) + "\r\n"; }

int caseAsked(const std::string& request) {
  const size_t hash = request.find('#');
  if (hash == std::string::npos) return -1;
  const int index = std::atoi(request.c_str() + hash + 1);
  return index >= 0 && static_cast<size_t>(index) < cases().size() ? index : -1;
}

void servePeer(io::ByteLine& line) {
  std::string request;
  char byte = 0;
  for (;;) {
    const io::IoResult read = line.readSome(&byte, 1, io::kNoDeadline);
    if (read.status != io::IoStatus::kDone) return;
    request += byte;
    if (byte != '\n') continue;
    const int index = caseAsked(request);
    request.clear();
    if (index < 0) continue;
    const Case& asked = cases()[static_cast<size_t>(index)];
    if (asked.hangUp) return;
    for (const Piece& piece : asked.reply) {
      std::this_thread::sleep_for(piece.pauseBefore);
      line.writeAll(piece.bytes.data(), piece.bytes.size(), io::kNoDeadline);
    }
  }
}

std::vector<std::string> runCases(host::LineTransport& transport, std::chrono::milliseconds timeout,
                                  bool withHangUp, int& passed) {
  std::vector<std::string> failures;
  passed = 0;
  for (size_t index = 0; index < cases().size(); ++index) {
    const Case& expected = cases()[index];
    if (expected.hangUp && !withHangUp) continue;
    std::string error;
    if (expected.staleFirst) {
      // The answer to a whole-reply request arrives and is never read.
      const std::string earlier = requestFor(0);
      transport.send(earlier.data(), earlier.size(), timeout, error);
      std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    transport.discardPendingInput();
    const std::string request = requestFor(index);
    transport.send(request.data(), request.size(), timeout, error);
    char buffer[host::kReplyCapacity + 1] = {};
    const host::ReceiveResult got = transport.receiveLine(buffer, host::kReplyCapacity, timeout);
    const std::string received(buffer, got.length);
    const bool same = received == expected.received && got.lineComplete == expected.lineComplete &&
                      got.overflowed == expected.overflowed && got.failed == expected.failed;
    if (same) {
      ++passed;
      continue;
    }
    failures.push_back(std::string(expected.name) + ": received " + text::quotedBytes(received) +
                       (got.lineComplete ? ", line end" : "") +
                       (got.overflowed ? ", overflowed" : "") + (got.failed ? ", failed" : "") +
                       (got.error.empty() ? "" : " (" + got.error + ")"));
  }
  return failures;
}

}  // namespace zephlor::conformance
