// One plug-in for many lines. The driver keeps two values for the whole process (the value of the
// last write, the level modifier) and its calls must never overlap, while each line runs on a
// thread of its own. So every call into it is made under one lock, held for the call alone: no
// line waits on another's wire. A write's acknowledgement is judged by the value of the last
// write, which another line's write may have replaced while this one waited for its echo; so just
// before a write's Check_xxx and Get_xxx, under the same lock, its own Set_xxx is made again into a
// scratch buffer, and the driver's last written value is that write's once more.
#pragma once

#include "zephlor_host/entry_point_table.h"

namespace zephlor::gateway {

// Entry points that call `driver`'s under the one lock. There is one plug-in per process, so
// there is one such table: the last call sets it.
const host::DriverEntryPoints& serializedEntryPoints(const host::DriverEntryPoints& driver);

}  // namespace zephlor::gateway
