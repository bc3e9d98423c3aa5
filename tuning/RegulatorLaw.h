#pragma once
// The controller's regulator law, derived from its own logs and checked line
// by line: how the heater power follows the three actions, how each action
// follows the error, and in what units the sum of errors grows. The tuning
// assistant proposes coefficients only in units a checked law gives; logs
// whose actions follow no law it can state are refused, with the first line
// that breaks it.
#include <QString>

#include <vector>

#include "tuning/LawDetails.h"
#include "tuning/TuningLog.h"

namespace calorix::tuning {

struct RegulatorLaw {
  bool holds = false;
  QString statement;  // the law, one line, when it holds
  QString refusal;    // why no law can be stated, when it does not
  int linesChecked = 0;
  int easedLines = 0;         // lines with the proportional action halved
  int frozenIntervals = 0;    // intervals in which the sum of errors stood still
  double sumPerSecond = 1.0;  // the sum grows by this times the error each second
  bool derivativeActive = false;
  LawDetails details;  // what the logs show beyond the statement, for simulating the law
};

// From the logs that carry the regulator's actions (PID run and stream logs);
// the others are passed over.
RegulatorLaw deriveLaw(const std::vector<TuningLog>& logs);

}  // namespace calorix::tuning
