// The conformance table through the Win32 backend: `line_conformance_client COMn` opens the port
// as zephlorctl does and runs every case against the peer on its other end. Prints a line for
// each case that came out otherwise, then "N passed, M failed".
#include <iostream>

#include "line_conformance.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: line_conformance_client PORT" << std::endl;
    return 2;
  }
  zephlor::io::OpenResult opened =
      zephlor::io::openLine(argv[1], 9600, std::chrono::milliseconds(2000));
  if (!opened.line) {
    std::cerr << opened.message << std::endl;
    return 1;
  }
  zephlor::io::SerialLineTransport transport(*opened.line);
  int passed = 0;
  const std::vector<std::string> failures =
      zephlor::conformance::runCases(transport, std::chrono::milliseconds(300), true, passed);
  for (const std::string& failure : failures) std::cout << "FAIL " << failure << std::endl;
  std::cout << passed << " passed, " << failures.size() << " failed" << std::endl;
  return failures.empty() ? 0 : 1;
}
