// Prints zephlor-gateway.yaml(5), the configuration's man page, from the gateway's key rows, so
// the page never says other than the gateway reads.
//   gateway_yaml_man VERSION > zephlor-gateway.yaml.5
#include <iostream>
#include <string>

#include "config.h"
#include "config_reading.h"

namespace {

using namespace zephlor::gateway;

// Text for roff: backslashes and hyphens escaped, a leading dot or quote kept from being a
// request.
std::string roff(const std::string& text) {
  std::string out;
  for (const char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out = "\\&" + out;
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string version = argc > 1 ? argv[1] : "";
  std::cout << ".TH ZEPHLOR\\-GATEWAY.YAML 5 \"\" \"zephlor " << version << "\" \"File Formats\"\n"
            << ".SH NAME\nzephlor\\-gateway.yaml \\- the configuration of zephlor\\-gateway\n"
            << ".SH DESCRIPTION\n"
            << roff(
                   "A YAML mapping: the broker, the topic prefix, and the lines with the items "
                   "each polls. zephlor-gateway reads it at the start and again on SIGHUP; a file "
                   "with faults is refused whole, each fault told with its line and column. "
                   "zephlor-gateway --check FILE checks one and prints the topics it would use.")
            << "\n.SH KEYS\n";
  for (const KeyTable& table : configKeyTables()) {
    std::cout << ".SS \"" << roff(table.mapping) << "\"\n";
    for (const KeyFacts& key : table.keys) {
      const std::string byDefault = key.byDefault();
      std::cout << ".TP\n.B " << roff(key.key) << "\n"
                << roff(keyText(key.takes, key) + ": " + keyText(key.does, key) +
                        (byDefault.empty() ? "" : " (default " + byDefault + ")"))
                << "\n";
    }
  }
  std::cout << ".SH EXAMPLE\n.nf\n"
            << roff(
                   "topic-prefix: zephlor/site-a\nlines:\n  - name: hall-1\n"
                   "    device: tcp:10.0.0.5:4001\n    items:\n      - name: hall-level\n"
                   "        item: station-level 1 2 3\n        every: 1000\n"
                   "        writable: true\n")
            << ".fi\n.SH FILES\n.I /etc/zephlor/NAME.yaml\n"
            << roff("read by the service zephlor-gateway@NAME.") << "\n"
            << ".SH \"SEE ALSO\"\n.BR zephlor\\-gateway (1)\n";
  return std::cout ? 0 : 1;
}
