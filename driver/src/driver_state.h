// The two values the driver keeps between calls. They start at zero when the library is loaded
// and are lost when it is unloaded. The host's calls must not overlap, so they need no lock.
#pragma once

#include <stdint.h>

namespace osterfell {

// The value of the most recent write, kept so its acknowledgement can be judged.
extern float LastWrittenValue;

// Carried by the load level set lines when non-zero; written through a Modifier item.
extern uint16_t LevelModifier;

}  // namespace osterfell
