#include "pid/RunStop.h"

#include <utility>

#include "core/ControllerMap.h"

namespace calorix {

namespace {
constexpr int kPauseMs = 50;
}  // namespace

void stopOnController(Link& link, bool keyDue, const std::function<void()>& readPanel,
                      RunReport& report, HeatWarning* warning) {
  bool undelivered = false;
  if (keyDue) {
    report.step([&] { link.SendPanelKey(ctl::panelKey::kPuskStop); });
    // A frame cut short (no answer to its command byte) or a write that
    // failed: the controller may not have heard it.
    undelivered = link.status().code != 0 || !link.lastFramedAnswered();
    if (undelivered && warning) warning->stopUndelivered();
  }
  link.clock().sleepMs(kPauseMs);
  // PID frames off (R5 bit 2), then R14 bit 1 ("Запрет уменьшения пропор
  // возд") and bit 0 (own coefficients): the regulator back to its own ways.
  using namespace ctl::reg;
  for (const auto& [reg, bit] :
       {std::pair{kRun, kRunPidFrames}, std::pair{kRegulator, kNoPropDecrease},
        std::pair{kRegulator, kOwnCoefs}})
    report.step([&] { link.SetRegBits(reg, kKeepOr, std::uint8_t(~bit)); });
  link.clock().sleepMs(kPauseMs);
  if (readPanel) report.step(readPanel);
  if (undelivered && warning) warning->tell(report);
}

}  // namespace calorix
