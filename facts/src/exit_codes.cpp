#include "zephlor_facts/exit_codes.h"

#include "zephlor_text/help_rows.h"

namespace zephlor::facts {

std::string exitCodeHelp(Tool tool, const std::string& stops) {
  std::string help;
  for (const ExitCodeMeaning& meaning : kExitCodeMeanings) {
    const char* meant = tool == Tool::kSimulator ? meaning.simulator
                        : tool == Tool::kGateway ? meaning.gateway
                                                 : meaning.zephlorctl;
    if (meant == nullptr) continue;
    if (meaning.code == kStoppedBySignal && !stops.empty()) meant = stops.c_str();
    const std::string label = meaning.code == kStoppedBySignal
                                  ? "130, 143"
                                  : std::to_string(static_cast<int>(meaning.code));
    help += text::helpRow(label, meant, label.size() > 3 ? 12 : 6);
  }
  return help;
}

std::string lastingExitStatuses() {
  std::string statuses;
  for (const ExitCodeMeaning& meaning : kExitCodeMeanings) {
    if (!meaning.lasting) continue;
    statuses += (statuses.empty() ? "" : " ") + std::to_string(static_cast<int>(meaning.code));
  }
  return statuses;
}

}  // namespace zephlor::facts
