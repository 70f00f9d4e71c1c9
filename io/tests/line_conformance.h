// One table of what a controller line can do to a reply, run against every line backend: the
// simulated link, a pseudo-terminal, TCP, and the Win32 backend under Wine. A peer plays the
// controller: for a request "VGC# N" it answers as case N says. The client checks that the
// transport hands the host exactly what the case expects.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "zephlor_host/line_transport.h"
#include "zephlor_io/serial_port.h"

namespace zephlor::conformance {

struct Piece {
  std::chrono::milliseconds pauseBefore{0};
  std::string bytes;
};

struct Case {
  const char* name;
  std::vector<Piece> reply;  // what the peer sends
  bool hangUp = false;       // the peer closes the line instead
  bool staleFirst = false;   // a reply to an earlier request is waiting when the request goes
  // What the host must receive.
  std::string received;
  bool lineComplete = true;
  bool overflowed = false;
  bool failed = false;
};

// The cases, in the order the client runs them; the hang-up is last.
const std::vector<Case>& cases();

// The request line that asks the peer for case `index`.
std::string requestFor(size_t index);
// The case a request line asks for, or -1.
int caseAsked(const std::string& request);

// The peer's side: answers requests on `line` until it ends or a case hangs up.
void servePeer(io::ByteLine& line);

// The client's side: every case (the hang-up only `withHangUp`) through `transport`, with the
// reply timeout `timeout`. Returns a line for each case that came out otherwise, and counts.
std::vector<std::string> runCases(host::LineTransport& transport,
                                  std::chrono::milliseconds timeout, bool withHangUp,
                                  int& passed);

}  // namespace zephlor::conformance
