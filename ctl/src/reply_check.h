// The strict reply check: beyond the driver's own judgement, a reply should name the request's
// mnemonic and address numbers and carry nothing after its last field but CR LF. The driver
// does not compare these; zephlorctl does, to warn of (or, with --strict, refuse) a reply that
// answers another request or arrived garbled where the driver does not look.
#pragma once

#include <optional>
#include <string>

namespace zephlor::ctl {

// How `reply` differs from what answers `request` (a line with `addressCount` address numbers),
// for a person; nothing when it does not. A firmware reply is checked up to its address number.
std::optional<std::string> replyDifference(const std::string& request, const std::string& reply,
                                           int addressCount, bool firmware);

}  // namespace zephlor::ctl
