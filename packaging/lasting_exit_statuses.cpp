// Prints the gateway's exit statuses that a restart does not mend, for its systemd unit.
#include <iostream>

#include "zephlor_facts/exit_codes.h"

int main() {
  std::cout << zephlor::facts::lastingExitStatuses() << std::endl;
  return std::cout ? 0 : 1;
}
