#include "pid/HeatWarning.h"

namespace calorix {

void HeatWarning::stopUndelivered() {
  state_.FurnaceMayHeat = 1;
  if (show_) show_(kFurnaceMayHeatText);
}

void HeatWarning::tell(RunReport& report) const {
  if (state_.FurnaceMayHeat == 1) report.note(kStopUndeliveredText);
}

void HeatWarning::heaterSeen(bool on) {
  if (on || state_.FurnaceMayHeat == 0) return;
  state_.FurnaceMayHeat = 0;
  if (show_) show_(QString());
}

}  // namespace calorix
