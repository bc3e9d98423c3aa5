// calorix-cli tune LOG...: the tuning assistant on data logs. Reads only; the
// controller is never opened.
#include <QFileInfo>
#include <QStringList>

#include "cli/Command.h"
#include "tuning/Tuning.h"

namespace calorix::cli {
namespace {

constexpr double kNarrowestBandC = 10, kWidestBandC = 1000;

tuning::TuneOptions optionsOf(const GlobalOptions& options) {
  tuning::TuneOptions o;
  if (!options.rule.isEmpty()) {
    const auto rule = tuning::ruleByKey(options.rule);
    if (!rule) {
      QStringList keys;
      for (const tuning::RuleInfo& r : tuning::rules()) keys << QLatin1String(r.key);
      throw CliError{kExitUsage, QStringLiteral("--rule %1: the rules are %2")
                                     .arg(options.rule, keys.join(QStringLiteral(", ")))};
    }
    o.rule = *rule;
  }
  if (!options.band.isEmpty()) {
    bool ok = false;
    o.bandWidthC = options.band.toDouble(&ok);
    if (!ok || !(o.bandWidthC >= kNarrowestBandC && o.bandWidthC <= kWidestBandC))
      throw CliError{kExitUsage, QStringLiteral("--band %1: give a width of %2 to %3 °C")
                                     .arg(options.band)
                                     .arg(kNarrowestBandC)
                                     .arg(kWidestBandC)};
  }
  return o;
}

}  // namespace

int tuneCommand(CommandContext& ctx) {
  const tuning::TuneOptions options = optionsOf(ctx.options);
  std::vector<tuning::TuningLog> logs;
  for (const QString& path : ctx.options.operands) {
    if (!QFileInfo(path).isFile())
      throw CliError{kExitFile, QStringLiteral("%1: no such file").arg(path)};
    logs.push_back(tuning::readTuningLog(path));
  }
  // The search over dead times and lags takes a while on long logs, the model
  // rule's runs of the model a few seconds more: one bar each.
  tuning::TuneOptions withProgress = options;
  int shown = 0, total = 0;
  withProgress.progress = [&](int done, int all) {
    if (all != total) {
      if (total != 0) ctx.progress.end();
      ctx.progress.begin(QStringLiteral("tune"), all);
      ctx.progress.region(total == 0 ? QStringLiteral("identifying the furnace")
                                     : QStringLiteral("searching on the model"));
      total = all;
      shown = 0;
    }
    ctx.progress.advance(done - shown);
    shown = done;
  };
  const tuning::TuneResult result = tuning::tune(logs, withProgress);
  const QJsonObject json = tuning::tuneJson(result);
  for (auto it = json.begin(); it != json.end(); ++it) ctx.result[it.key()] = it.value();
  for (const QString& line : tuning::tuneText(result).split(QLatin1Char('\n'))) ctx.say(line);
  if (!result.ok) throw CliError{kExitFile, result.error};
  return kExitOk;
}

}  // namespace calorix::cli
