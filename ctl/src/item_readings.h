// What zephlorctl makes of an item's reading: its value as text, JSON and number, the failure on
// standard error, and the record for the machine-readable results.
#pragma once

#include <ostream>

#include "session.h"

namespace zephlor::ctl {

// Reads an item and returns its value, or explains the failure.
Outcome readItem(Session& session, const Item& item, Value& value);
// Tells a failure, and what --lenient let through, on standard error; the failure's status.
ExitCode report(const Outcome& outcome, std::ostream& err);
// A reading for the machine-readable results: the value, or what failed, and any warning.
Reading readingOf(const Item& item, const Outcome& outcome, const Value& value);
// A failed outcome's cause by the verdict's name: "line-down" for a line not open at all; empty
// when it has none (a wrong value given).
std::string causeOf(const Outcome& outcome);

}  // namespace zephlor::ctl
