#pragma once
// The stop of a heating run on the controller, the same bytes in the same
// order whichever run it ends (the Пуск run's tick, TimerPid's tick, the
// close of the main window): key code 1 unless the controller has ended the
// program by itself, the register bits every start may set cleared, the
// panel read back. Every step runs whatever the one before it and the files
// did.
#include <functional>

#include "link/Link.h"
#include "pid/HeatWarning.h"
#include "pid/RunReport.h"

namespace calorix {

// keyDue: key code 1 is to be sent. A key code that was due and did not
// reach the controller raises the warning before the read-out, which takes
// it away again when it finds the heater off; what remains is told.
void stopOnController(Link& link, bool keyDue, const std::function<void()>& readPanel,
                      RunReport& report, HeatWarning* warning);

}  // namespace calorix
