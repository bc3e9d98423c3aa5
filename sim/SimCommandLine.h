#pragma once
// The command line of calorix-sim:
//   calorix-sim [--link PATH] [--state FILE] [--sim-speed N] [--cycle-ms N]
//               [--telemetry-ms N] [--furnace-rate C_PER_MIN] [--furnace-lag S]
//               [--furnace-dead-time S]
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

#include "sim/Furnace.h"

namespace calorix::sim {

struct SimCommandLine {
  bool help = false;
  QString linkPath;
  QString statePath;
  double simSpeed = 1.0;
  qint64 cycleMs = 4000;
  qint64 telemetryMs = 500;
  FurnaceParams furnace;
};

// The furnace options shared by calorix-sim and calorix --simulate: sets the
// parameter named (--furnace-rate, --furnace-lag, --furnace-dead-time) from
// its text. False, with the reason in *error, for a value the furnace cannot
// have; false without an error for a name that is not a furnace option.
bool isFurnaceOption(const QString& name);
bool setFurnaceOption(FurnaceParams& params, const QString& name, const QString& value,
                      QString* error);
QString furnaceUsage();

// The usage line, without the program's name in front of the message.
QString simUsage();

// args without the program name. Empty with the reason in *error for an
// unknown option, a missing or bad value, or a telemetry period faster than
// the line carries.
std::optional<SimCommandLine> parseSimCommandLine(const QStringList& args, QString* error);

}  // namespace calorix::sim
