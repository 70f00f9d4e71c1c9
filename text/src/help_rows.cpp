#include "zephlor_text/help_rows.h"

namespace zephlor::text {

std::string helpRow(const std::string& label, const std::string& text, size_t column) {
  constexpr size_t kWidth = 96;
  std::string row;
  std::string line = "  " + label;
  std::string rest = text;
  if (line.size() + 2 > column && !rest.empty()) {
    row += line + "\n";
    line.clear();
  }
  while (!rest.empty()) {
    line.resize(column, ' ');
    size_t cut = rest.size();
    if (column + cut > kWidth) cut = rest.rfind(' ', kWidth - column);
    row += line + rest.substr(0, cut) + "\n";
    rest = cut < rest.size() ? rest.substr(cut + 1) : "";
    line.clear();
  }
  if (!line.empty()) row += line + "\n";
  return row;
}

}  // namespace zephlor::text
