#include "driver_state.h"

namespace osterfell {

float LastWrittenValue = 0.0f;
uint16_t LevelModifier = 0;

}  // namespace osterfell
