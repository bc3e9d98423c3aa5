#pragma once
// The command line of calorix-sim:
//   calorix-sim [--link PATH] [--state FILE] [--sim-speed N] [--cycle-ms N]
//               [--telemetry-ms N]
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

namespace calorix::sim {

struct SimCommandLine {
  bool help = false;
  QString linkPath;
  QString statePath;
  double simSpeed = 1.0;
  qint64 cycleMs = 4000;
  qint64 telemetryMs = 500;
};

// The usage line, without the program's name in front of the message.
QString simUsage();

// args without the program name. Empty with the reason in *error for an
// unknown option, a missing or bad value, or a telemetry period faster than
// the line carries.
std::optional<SimCommandLine> parseSimCommandLine(const QStringList& args, QString* error);

}  // namespace calorix::sim
