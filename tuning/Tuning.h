#pragma once
// The tuning assistant as one call: the law derived and checked, the furnace
// identified per band, coefficients proposed by a rule, the three cubics
// fitted through them; and the result as text (the cubics as the coefficient
// editor shows them) and as JSON.
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <optional>
#include <vector>

#include "tuning/Identify.h"
#include "tuning/ModelRule.h"
#include "tuning/RegulatorLaw.h"
#include "tuning/Rules.h"
#include "tuning/TuningLog.h"

namespace calorix::tuning {

struct TuneOptions {
  Rule rule = Rule::Model;
  double bandWidthC = 100;
  std::function<void(int done, int total)> progress;  // of the identification, then the search
  ModelRuleOptions model;                             // for Rule::Model
};

struct BandProposal {
  BandModel band;
  // Rule::Model proposes for the whole range at once: the same at every band.
  std::optional<Pid> proposed;  // only for a band with enough excitation
  Pid fromCubics;               // what the fitted cubics give at the band's middle
};

// The cubics in the editor's column order.
enum CubicColumn { kKP = 0, kKD = 1, kKI = 2 };

struct TuneResult {
  bool ok = false;
  QString error;      // why nothing is proposed
  QStringList notes;  // logs passed over, and why
  Rule rule = Rule::Simc;
  RegulatorLaw law;
  Identification id;
  std::vector<BandProposal> bands;
  std::array<FittedCubic, 3> cubics;   // KP, KD, KI
  std::optional<ModelProposal> model;  // Rule::Model: the search and what it foretells
};

TuneResult tune(const std::vector<TuningLog>& logs, const TuneOptions& options = {});

// The coefficient editor's text of a cubic word: "-" before the padded
// magnitude when negative, fixed 11:8.
QString editorText(double word);
QString tuneText(const TuneResult& result);
// {"law", "bands": [{"from_c", "to_c", "gain", "tau_s", "dead_s", "fit", "kp", "ki", "kd"}],
//  "cubics": {"KP": [A, B, C, D], "KI": [...], "KD": [...]}, "rule"}
QJsonObject tuneJson(const TuneResult& result);

}  // namespace calorix::tuning
