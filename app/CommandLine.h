#pragma once
// The console's command line. Qt's own options (-platform, ...) are taken out
// by QApplication before this sees the arguments.
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

namespace calorix {

struct CommandLine {
  QString portDevice;      // --port-device PATH: replaces the device of NumPort
  bool simulate = false;   // --simulate: the built-in simulator on a pty
  double simSpeed = 1.0;   // --sim-speed N
  QString statePath;       // --state FILE (simulator state)
  QString iniPath;         // --ini PATH; empty: ZaroZ.ini beside the executable
  QString screenshotPath;  // --screenshot FILE: save the shown window and close
  bool help = false;       // --help, -h
  QString error;           // not empty when the line is unusable

  // --telemetry-ms N: the built-in simulator's stream cadence (with --simulate)
  std::optional<qint64> telemetryMs;
  // --show-hidden: the controls the main window hides as designed, shown
  bool showHidden = false;
  // --list-ports: print the serial ports and end; --json: as JSON
  bool listPorts = false;
  bool json = false;
  // --furnace-rate, --furnace-lag, --furnace-dead-time (with --simulate):
  // name and text, in order; the simulator checks the values.
  QList<QPair<QString, QString>> furnaceOptions;
};

// args without the program name.
CommandLine parseCommandLine(const QStringList& args);
QString usageText();

}  // namespace calorix
