// What the gateway tells a person while it runs (the journal, under systemd): the broker
// connected and lost, lines up and down. One whole line on standard error, however many
// threads tell at once.
#pragma once

#include <iostream>
#include <string>

namespace zephlor::gateway {

inline void tell(const std::string& text) {
  std::cerr << "zephlor-gateway: " + text + "\n" << std::flush;
}

}  // namespace zephlor::gateway
