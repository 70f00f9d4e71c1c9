// One plug-in for many lines. The driver keeps two values for the whole process (the value of the
// last write, the level modifier) and its calls must never overlap, while each line runs on a
// thread of its own. So every call into it is made under one lock, and a write holds a second
// lock from its Set_xxx to its Get_xxx: no other write may replace the value its
// acknowledgement is judged by. Reads never touch that value and go on meanwhile.
#pragma once

#include <mutex>

#include "zephlor_host/entry_point_table.h"

namespace zephlor::gateway {

// Entry points that call `driver`'s under the one lock. There is one plug-in per process, so
// there is one such table: the last call sets it.
const host::DriverEntryPoints& serializedEntryPoints(const host::DriverEntryPoints& driver);

// Held around a whole write transaction.
std::mutex& writeTransactionLock();

}  // namespace zephlor::gateway
