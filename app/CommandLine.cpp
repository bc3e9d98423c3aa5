#include "app/CommandLine.h"

#include <cmath>

#include "core/ControllerMap.h"

namespace calorix {

CommandLine parseCommandLine(const QStringList& args) {
  CommandLine line;
  bool simulatorOption = false;  // --state, --sim-speed or --telemetry-ms seen
  for (int i = 0; i < args.size() && line.error.isEmpty(); ++i) {
    QString name = args[i];
    QString value;
    bool inlineValue = false;
    if (name.startsWith(QStringLiteral("--"))) {
      const qsizetype eq = name.indexOf(QLatin1Char('='));
      if (eq > 0) {
        value = name.mid(eq + 1);
        name = name.left(eq);
        inlineValue = true;
      }
    }
    // The value of an option: after "=" or the next argument.
    auto takeValue = [&](QString& into) {
      if (inlineValue) {
        into = value;
      } else if (i + 1 < args.size()) {
        into = args[++i];
      } else {
        line.error = QStringLiteral("%1 needs a value").arg(name);
        return;
      }
      if (into.isEmpty()) line.error = QStringLiteral("%1 needs a value").arg(name);
    };
    auto noValue = [&] {
      if (inlineValue) line.error = QStringLiteral("%1 takes no value").arg(name);
    };

    if (name == QStringLiteral("--help") || name == QStringLiteral("-h")) {
      noValue();
      line.help = true;
    } else if (name == QStringLiteral("--simulate")) {
      noValue();
      line.simulate = true;
    } else if (name == QStringLiteral("--port-device")) {
      takeValue(line.portDevice);
    } else if (name == QStringLiteral("--state")) {
      takeValue(line.statePath);
      simulatorOption = true;
    } else if (name == QStringLiteral("--ini")) {
      takeValue(line.iniPath);
    } else if (name == QStringLiteral("--show-hidden")) {
      noValue();
      line.showHidden = true;
    } else if (name == QStringLiteral("--list-ports")) {
      noValue();
      line.listPorts = true;
    } else if (name == QStringLiteral("--json")) {
      noValue();
      line.json = true;
    } else if (name == QStringLiteral("--telemetry-ms")) {
      QString text;
      takeValue(text);
      simulatorOption = true;
      if (!line.error.isEmpty()) break;
      bool ok = false;
      const qint64 ms = text.toLongLong(&ok);
      if (!ok || ms < ctl::streamFrame::kLineRateMs)
        line.error = QStringLiteral(
                         "--telemetry-ms needs a whole number of milliseconds, at least %1 (a "
                         "%2-byte frame takes that long on the line), not '%3'")
                         .arg(ctl::streamFrame::kLineRateMs)
                         .arg(ctl::streamFrame::kBytes)
                         .arg(text);
      else
        line.telemetryMs = ms;
    } else if (name == QStringLiteral("--furnace-rate") ||
               name == QStringLiteral("--furnace-lag") ||
               name == QStringLiteral("--furnace-dead-time")) {
      QString text;
      takeValue(text);
      simulatorOption = true;
      line.furnaceOptions.append({name, text});
    } else if (name == QStringLiteral("--screenshot")) {
      takeValue(line.screenshotPath);
    } else if (name == QStringLiteral("--sim-speed")) {
      QString text;
      takeValue(text);
      simulatorOption = true;
      if (!line.error.isEmpty()) break;
      bool ok = false;
      const double speed = text.toDouble(&ok);
      if (!ok || !std::isfinite(speed) || speed <= 0)
        line.error = QStringLiteral("--sim-speed needs a positive number, not '%1'").arg(text);
      else
        line.simSpeed = speed;
    } else {
      line.error = QStringLiteral("unknown argument '%1'").arg(args[i]);
    }
  }
  if (line.error.isEmpty() && line.simulate && !line.portDevice.isEmpty())
    line.error = QStringLiteral("--simulate and --port-device exclude each other");
  if (line.error.isEmpty() && line.json && !line.listPorts)
    line.error = QStringLiteral("--json belongs to --list-ports");
  if (line.error.isEmpty() && !line.simulate && simulatorOption)
    line.error =
        QStringLiteral("--state, --sim-speed, --telemetry-ms and --furnace-* need --simulate");
  return line;
}

QString usageText() {
  return QStringLiteral(
      "Usage: calorix [options]\n"
      "Service console for the furnace temperature controller.\n"
      "\n"
      "  --port-device PATH  use this serial device for this run, instead of the one\n"
      "                      ZaroZ.ini names (Device, else NumPort; Ctrl+P chooses)\n"
      "  --simulate          run on the built-in controller simulator (a pty)\n"
      "  --sim-speed N       simulated time runs N times as fast (with --simulate)\n"
      "  --state FILE        simulator state file (with --simulate; default\n"
      "                      ~/.local/share/calorix/sim-state.bin)\n"
      "  --telemetry-ms N    the simulator sends a P/B telemetry frame every N ms\n"
      "                      (with --simulate; default 500, at least 25 = line rate)\n"
      "  --furnace-rate R    the simulated furnace heats R °C/min at full power from\n"
      "                      room temperature (with --simulate; default 20)\n"
      "  --furnace-lag S     its chamber lags S seconds behind the elements (default 60)\n"
      "  --furnace-dead-time S  and answers a power change after S seconds (default 15)\n"
      "  --ini PATH          settings file (default: ZaroZ.ini beside the executable;\n"
      "                      for an installed program ~/.config/calorix/ZaroZ.ini)\n"
      "  --show-hidden       show the controls the main window hides as designed\n"
      "                      (RAM output for P/B, memory reads, link pause, the\n"
      "                      additional parameters and RAM windows); only in view\n"
      "                      mode 4 once unlocked\n"
      "  --screenshot FILE   save the main window as PNG once shown, then close\n"
      "  --list-ports        print the serial ports (device, system name, description,\n"
      "                      maker, serial number) and end; no display needed\n"
      "  --json              with --list-ports: as JSON\n"
      "  -h, --help          show this text\n"
      "\n"
      "Environment: CALORIX_STARTUP_TIMING=1 prints the start-up time.\n");
}

}  // namespace calorix
