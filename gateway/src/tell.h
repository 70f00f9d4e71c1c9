// What the gateway tells a person while it runs (the journal, under systemd): the broker
// connected and lost, lines up and down, refusals. One whole line on standard error, however
// many threads tell at once. Under the journal each line starts with its priority, "<4>", which
// the journal takes off and keeps; on a terminal the text is the same without it.
#pragma once

#include <string>

namespace zephlor::gateway {

// How much a line matters, as syslog and the journal number it.
enum class Priority { kError = 3, kWarning = 4, kNotice = 5, kInfo = 6, kDebug = 7 };

// The priorities by name, as --log-level takes them: "error", "warning", "notice", "info",
// "debug"; false for another name.
bool priorityNamed(const std::string& name, Priority& priority);
// The names, for a person: "error, warning, notice, info or debug".
std::string priorityNames();

// How lines are told: with their priority in front (standard error is the journal's stream), and
// the least priority told. Set once at the start, before any thread tells.
struct Telling {
  bool journal = false;
  Priority least = Priority::kInfo;
};
void setTelling(const Telling& telling);

// Whether standard error is the journal's stream: systemd names it in JOURNAL_STREAM as
// "DEVICE:INODE", which a redirected standard error no longer matches.
bool standardErrorIsJournal();

// "zephlor-gateway: TEXT", or TEXT alone when `named` is false (a fault with its place in a file).
void tell(Priority priority, const std::string& text, bool named = true);

}  // namespace zephlor::gateway
