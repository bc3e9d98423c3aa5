#include "programs/ProgramRead.h"

namespace calorix {

std::optional<ProgramTable> readProgram(Link& link, int program) {
  // Bytes that a failed exchange left on their way would be taken for the
  // answers of this read, and its data shifted.
  link.DrainPort();
  if (inProgramMemory(program))
    link.RdProgMem(programAddress(program), kProgramBytes);
  else
    link.RdRom(programAddress(program), kProgramBytes);
  // Only a read whose every answer came whole is the program.
  if (!link.lastFramedAnswered()) return std::nullopt;
  return decodeProgram(link.ReadBuf().data());
}

}  // namespace calorix
