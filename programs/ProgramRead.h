#pragma once
// The read of one temperature program from the controller: programs 1..17
// from program memory, 18..25 from ROM. The program editor loads with it, and
// app/ hands it to the trend window for its plan.
#include <optional>

#include "core/ProgramCodec.h"
#include "link/Link.h"

namespace calorix {

// The caller holds the exchange guard. Nothing when the read could not be
// sent or went unanswered.
std::optional<ProgramTable> readProgram(Link& link, int program);

}  // namespace calorix
