#include "zephlor_text/visible_bytes.h"

namespace zephlor::text {

std::string visibleBytes(std::string_view bytes) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r') {
      shown += "\\r";
    } else if (c == '\n') {
      shown += "\\n";
    } else if (c == '\\') {
      shown += "\\\\";
    } else if (byte >= 0x20 && byte < 0x7F) {
      shown += c;
    } else {
      shown += "\\x";
      shown += kHex[byte >> 4];
      shown += kHex[byte & 0xF];
    }
  }
  return shown;
}

std::string quotedBytes(std::string_view bytes) { return "\"" + visibleBytes(bytes) + "\""; }

}  // namespace zephlor::text
