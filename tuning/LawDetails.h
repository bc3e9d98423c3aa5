#pragma once
// The finer points of the regulator's law, read from its logs as far as they
// show them, so that the law can be simulated and not only stated: how far
// below a stage's temperature the proportional action is eased, where the
// stage's hold takes over, how large an error the sum of errors still grows
// at, whether it stands still while the power is at a limit, how long the
// derivative is smoothed over. What the logs never show stays at "not seen".
#include <QString>

#include <cstddef>
#include <limits>
#include <utility>
#include <vector>

#include "tuning/TuningLog.h"

namespace calorix::tuning {

inline constexpr double kNotSeen = std::numeric_limits<double>::infinity();

struct LawDetails {
  // P is eased to this share in the last easingBandC degrees below the
  // stage's temperature while heating (0: no eased line in the logs).
  double easedShare = 0.5;
  double easingBandC = 0;
  // The easing ends once the temperature has come within this of the
  // stage's temperature with the set point there: the hold has begun.
  double holdBandC = 0;
  // The sum of errors grows only while |e| is below this (kNotSeen: it grew
  // at every error the logs show).
  double integralBandC = kNotSeen;
  // The largest error the logs show the sum growing at: beyond it, with no
  // band seen, the law is not known.
  double sumSeenUpToC = 0;
  // It stands still while the power is at 0 or 100 % and the error pushes on.
  bool antiWindup = false;
  // D follows de/dt through a first-order smoothing of this time constant.
  double derivativeLagS = 0;
  // The step the temperature is measured in (0: none seen).
  double measurementStepC = 0;

  QString statement() const;
};

// Rows at which P stood at the eased share: (log, row).
using RowRefs = std::vector<std::pair<const TuningLog*, std::size_t>>;

// From the logs that carry the regulator's actions; eased: the rows the law's
// check found at the eased share.
LawDetails readLawDetails(const std::vector<TuningLog>& logs, const RowRefs& eased);

}  // namespace calorix::tuning
