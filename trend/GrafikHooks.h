#pragma once
// What the trend window needs of other windows, handed in by app/ (a window
// folder includes no other): the program the program editor holds, and the
// read of a program from the controller.
#include <functional>
#include <optional>

#include "core/ProgramCodec.h"

namespace calorix {

struct HeldProgram {
  int number = 0;
  ProgramTable table{};
};

struct GrafikHooks {
  // The program the editor last loaded, as the controller holds it; nothing
  // before the first load.
  std::function<std::optional<HeldProgram>()> editorProgram;
  // Reads program 1..25 from the controller; the caller holds the exchange
  // guard. Nothing when the read went unanswered.
  std::function<std::optional<ProgramTable>(int program)> readProgram;
};

}  // namespace calorix
