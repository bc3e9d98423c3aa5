#pragma once
// The console's command line. Qt's own options (-platform, ...) are taken out
// by QApplication before this sees the arguments.
#include <QString>
#include <QStringList>

#include <optional>

namespace calorix {

struct CommandLine {
  QString portDevice;                 // --port-device PATH: replaces the device of NumPort
  bool simulate = false;              // --simulate: the built-in simulator on a pty
  double simSpeed = 1.0;              // --sim-speed N
  QString statePath;                  // --state FILE (simulator state)
  std::optional<qint64> telemetryMs;  // --telemetry-ms N: the simulator's stream cadence
  QString iniPath;                    // --ini PATH; empty: ZaroZ.ini beside the executable
  QString screenshotPath;             // --screenshot FILE: save the shown window and close
  bool showHidden = false;            // --show-hidden: the controls hidden as designed, shown
  bool help = false;                  // --help, -h
  QString error;                      // not empty when the line is unusable
};

// args without the program name.
CommandLine parseCommandLine(const QStringList& args);
QString usageText();

}  // namespace calorix
