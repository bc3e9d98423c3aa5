#pragma once
// One stage of a temperature program as the firmware runs and edits it, read
// from and written to its 4-byte record in program memory (programs 1..17) or
// ROM (18..25) through the program codec the console uses.
#include "sim/Memory.h"

namespace calorix::sim {

struct Stage {
  int temperature = 0;  // °C, 0..4095; 0 ends the program
  int stabMinutes = 0;  // 0..16383
  int speed = 0;        // °C/min, 0..15; 0 = as fast as the heater can
};

// program 1..25, stage 1..15.
Stage readStage(const ControllerMemory& memory, int program, int stage);
// Writes the stage's three fields; the two stage-0 bits that share byte 1 of
// the record stay as they are.
void writeStage(ControllerMemory& memory, int program, int stage, const Stage& s);

}  // namespace calorix::sim
