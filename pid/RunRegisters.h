#pragma once
// The controller register bits a heating run's start may set, cleared again
// by every stop, whichever timer carries it out.
#include <cstdint>

#include "core/ControllerMap.h"
#include "link/Link.h"

namespace calorix {

// PID frames off (R5 bit 2), then R14 bit 1 ("Запрет уменьшения пропор
// возд") and bit 0 (own coefficients): the regulator back to its own ways.
inline void clearRunRegisterBits(Link& link) {
  using namespace ctl::reg;
  link.SetRegBits(kRun, kKeepOr, std::uint8_t(~kRunPidFrames));
  link.SetRegBits(kRegulator, kKeepOr, std::uint8_t(~kNoPropDecrease));
  link.SetRegBits(kRegulator, kKeepOr, std::uint8_t(~kOwnCoefs));
}

}  // namespace calorix
