#include "programs/ProgramRead.h"

namespace calorix {

std::optional<ProgramTable> readProgram(Link& link, int program) {
  if (inProgramMemory(program))
    link.RdProgMem(programAddress(program), kProgramBytes);
  else
    link.RdRom(programAddress(program), kProgramBytes);
  if (!link.lastFramedAnswered()) return std::nullopt;
  // A read the controller did not answer in full decodes whatever the read
  // buffer holds; the traced layer does not tell.
  return decodeProgram(link.ReadBuf().data());
}

}  // namespace calorix
