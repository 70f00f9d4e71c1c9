// The configuration's keys told to people, from their rows: in --help, and as the README's table.
#include "config_reading.h"
#include "zephlor_text/help_rows.h"

namespace zephlor::gateway {

std::string configKeysHelp() {
  std::string help;
  for (const KeyTable& table : configKeyTables()) {
    help += std::string("  ") + table.mapping + ":\n";
    for (const KeyFacts& key : table.keys) {
      const std::string byDefault = key.byDefault();
      help += text::helpRow(std::string("  ") + key.key,
                            keyText(key.takes, key) + ": " + keyText(key.does, key) +
                                (byDefault.empty() ? "" : " (default " + byDefault + ")"),
                            24);
    }
  }
  return help;
}

std::string configKeysTable() {
  std::string table = "| in | key | takes | default | what it does |\n|---|---|---|---|---|\n";
  for (const KeyTable& mapping : configKeyTables()) {
    for (const KeyFacts& key : mapping.keys) {
      const std::string byDefault = key.byDefault();
      table += std::string("| ") + mapping.mapping + " | `" + key.key + "` | " +
               keyText(key.takes, key) + " | " + (byDefault.empty() ? "" : "`" + byDefault + "`") +
               " | " + keyText(key.does, key) + " |\n";
    }
  }
  return table;
}

}  // namespace zephlor::gateway
