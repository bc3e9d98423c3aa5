#include "sim/SimCommandLine.h"

#include "core/ControllerMap.h"
#include "sim/ControllerOptions.h"

namespace calorix::sim {

QString simUsage() {
  return QStringLiteral(
      "usage: calorix-sim [--link PATH] [--state FILE] [--sim-speed N] [--cycle-ms N] "
      "[--telemetry-ms N]");
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
