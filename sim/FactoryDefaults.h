#pragma once
// What a new controller holds before anyone has written to it.
#include "sim/Memory.h"

namespace calorix::sim {

// Writes the factory contents into every memory region that is still blank
// (all zero): calibration words and the program table in blockMem, default
// programs in progMem and ROM, the firmware's working constants in RAM.
// The firmware's attach() calls it; the state file, loaded afterwards,
// overrides it.
void loadFactoryDefaults(ControllerMemory& memory);

}  // namespace calorix::sim
