#include "sim/SimCommandLine.h"

#include <cmath>

#include "core/ControllerMap.h"
#include "sim/ControllerOptions.h"

namespace calorix::sim {

QString simUsage() {
  return QStringLiteral(
             "usage: calorix-sim [--link PATH] [--state FILE] [--sim-speed N] [--cycle-ms N] "
             "[--telemetry-ms N]\n       %1")
      .arg(furnaceUsage());
}

QString furnaceUsage() {
  return QStringLiteral(
      "[--furnace-rate C_PER_MIN] [--furnace-lag S] [--furnace-dead-time S]\n"
      "  --furnace-rate: heating rate at full power from room temperature (default 20)\n"
      "  --furnace-lag: the chamber's lag behind the heating elements, s (default 60)\n"
      "  --furnace-dead-time: from a power change to the elements' response, s (default 15)");
}

bool isFurnaceOption(const QString& name) {
  return name == QLatin1String("--furnace-rate") || name == QLatin1String("--furnace-lag") ||
         name == QLatin1String("--furnace-dead-time");
}

bool setFurnaceOption(FurnaceParams& params, const QString& name, const QString& value,
                      QString* error) {
  if (!isFurnaceOption(name)) return false;
  bool ok = false;
  const double v = value.toDouble(&ok);
  // A rate must heat; lags and dead times up to an hour are still a furnace.
  const bool rate = name == QLatin1String("--furnace-rate");
  constexpr double kLongestS = 3600, kFastestRate = 1000;
  ok = ok && std::isfinite(v) && (rate ? v > 0 && v <= kFastestRate : v >= 0 && v <= kLongestS);
  if (!ok) {
    if (error)
      *error = rate ? QStringLiteral("%1 needs a rate above 0 and at most %2 °C/min, not '%3'")
                          .arg(name)
                          .arg(kFastestRate)
                          .arg(value)
                    : QStringLiteral("%1 needs 0 to %2 seconds, not '%3'")
                          .arg(name)
                          .arg(kLongestS)
                          .arg(value);
    return false;
  }
  if (rate)
    params.maxRateCPerMin = v;
  else if (name == QLatin1String("--furnace-lag"))
    params.chamberLagS = v;
  else
    params.deadTimeS = v;
  return true;
}

std::optional<SimCommandLine> parseSimCommandLine(const QStringList& args, QString* error) {
  SimCommandLine line;
  auto fail = [error](const QString& why) {
    if (error) *error = why;
    return std::nullopt;
  };
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& option = args[i];
    if (option == QLatin1String("--help") || option == QLatin1String("-h")) {
      line.help = true;
      continue;
    }
    if (isFurnaceOption(option)) {
      if (i + 1 >= args.size()) return fail(QStringLiteral("%1 needs a value").arg(option));
      QString why;
      if (!setFurnaceOption(line.furnace, option, args[++i], &why)) return fail(why);
      continue;
    }
    const bool known = option == QLatin1String("--link") || option == QLatin1String("--state") ||
                       option == QLatin1String("--sim-speed") ||
                       option == QLatin1String("--cycle-ms") ||
                       option == QLatin1String("--telemetry-ms");
    if (!known) return fail(QStringLiteral("unknown option %1").arg(option));
    if (i + 1 >= args.size()) return fail(QStringLiteral("%1 needs a value").arg(option));
    const QString value = args[++i];
    bool ok = true;
    if (option == QLatin1String("--link")) {
      line.linkPath = value;
    } else if (option == QLatin1String("--state")) {
      line.statePath = value;
    } else if (option == QLatin1String("--sim-speed")) {
      line.simSpeed = value.toDouble(&ok);
      ok = ok && line.simSpeed > 0;
    } else if (option == QLatin1String("--cycle-ms")) {
      line.cycleMs = value.toLongLong(&ok);
      ok = ok && line.cycleMs > 0;
    } else {
      line.telemetryMs = value.toLongLong(&ok);
      if (ok && line.telemetryMs < kLineRateTelemetryMs)
        return fail(QStringLiteral("--telemetry-ms %1 is faster than the line: a %2-byte frame "
                                   "at 115200 baud takes %3 ms, so the period must be at least %3")
                        .arg(line.telemetryMs)
                        .arg(ctl::streamFrame::kBytes)
                        .arg(kLineRateTelemetryMs));
    }
    if (!ok) return fail(QStringLiteral("bad number for %1: %2").arg(option, value));
  }
  return line;
}

}  // namespace calorix::sim
