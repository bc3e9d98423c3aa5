#include "sim/StageRecords.h"

#include <algorithm>
#include <utility>

#include "core/ProgramCodec.h"

namespace calorix::sim {
namespace {

const std::uint8_t* programBytes(const ControllerMemory& m, int program) {
  const quint16 at = programAddress(program);
  return inProgramMemory(program) ? &m.progMem[at] : &m.rom[at];
}

std::uint8_t* programBytes(ControllerMemory& m, int program) {
  return const_cast<std::uint8_t*>(programBytes(std::as_const(m), program));
}

}  // namespace

Stage readStage(const ControllerMemory& memory, int program, int stage) {
  const ProgramTable table = decodeProgram(programBytes(memory, program));
  return {table[stage][kColTemperature], table[stage][kColStabTime], table[stage][kColSpeed]};
}

void writeStage(ControllerMemory& memory, int program, int stage, const Stage& s) {
  std::uint8_t* bytes = programBytes(memory, program);
  ProgramTable table = decodeProgram(bytes);
  table[stage][kColTemperature] = s.temperature;
  table[stage][kColStabTime] = s.stabMinutes;
  table[stage][kColSpeed] = s.speed;
  auto record = encodeStage(table, stage);
  std::uint8_t* at = bytes + kStageBytes * (stage - 1);
  // Whatever byte 1 holds in its stage-0 bits stays, on every stage.
  record[1] =
      std::uint8_t((record[1] & ~ctl::program::kStage0Bits) | (at[1] & ctl::program::kStage0Bits));
  std::copy(record.begin(), record.end(), at);
}

}  // namespace calorix::sim
