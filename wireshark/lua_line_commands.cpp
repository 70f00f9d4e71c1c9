// Prints the controller's request lines as a Lua table, for the Wireshark dissector: the same rows
// the simulator answers by and the monitor reads by, so the dissector names items as the tools do.
#include <iostream>

#include "zephlor_facts/item_catalogue.h"
#include "zephlor_facts/line_commands.h"

int main() {
  using namespace zephlor::facts;
  std::cout << "{\n";
  for (const LineCommand& command : kLineCommands) {
    const char* action = command.action == LineAction::kSet     ? "set"
                         : command.action == LineAction::kQuery ? "query"
                                                                : "firmware";
    std::cout << "  " << command.mnemonic << " = {item = \"" << itemKindInfo(command.kind).name
              << "\", action = \"" << action << "\", addresses = " << command.addressCount
              << ", modifier = " << (command.takesModifier ? "true" : "false") << "},\n";
  }
  std::cout << "}";
  return 0;
}
