// calorix: the service console. Builds the console, shows the main window and
// runs until it closes (close box, SIGINT or SIGTERM); then the port and both
// log files are closed and the program exits 0. A termination signal is
// handled from the first line on: one that comes during start-up (a message
// box open, say) ends the start-up and then the program the same clean way.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <memory>

#include "app/CommandLine.h"
#include "app/DisplayCheck.h"
#include "app/Startup.h"
#include "app/Termination.h"
#include "core/LocalTimeZone.h"

#include "link/PortList.h"
#include "link/QuietToolkit.h"
#include "link/SerialPortBackend.h"
#include "link/Settings.h"
#include "sim/PtyServer.h"
#include "sim/SimCommandLine.h"

using namespace calorix;

namespace {

void printErr(const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stderr);
  std::fflush(stderr);
}

// Where drive letters of stored paths live and where the simulator keeps its state.
QString dataRoot() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
         QStringLiteral("/calorix");
}

}  // namespace

int main(int argc, char** argv) {
  // Before the first file is touched (the settings, the simulator's state).
  installTerminationHandler();
  pinLocalTimeZone();
  QElapsedTimer sinceStart;
  sinceStart.start();

  // --help works without a display: answer it before the toolkit starts.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
      std::fputs(usageText().toLocal8Bit().constData(), stdout);
      return 0;
    }
  }

  // --list-ports works without a display too, and says only its own words.
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--list-ports") != 0) continue;
    keepToolkitQuiet();
    QStringList args;
    for (int k = 1; k < argc; ++k) args << QString::fromLocal8Bit(argv[k]);
    const CommandLine line = parseCommandLine(args);
    if (!line.error.isEmpty()) {
      printErr(QStringLiteral("calorix: %1\nTry 'calorix --help'.\n").arg(line.error));
      return 2;
    }
    const std::vector<PortEntry> ports = listPorts();
    const QString text =
        line.json ? QString::fromUtf8(QJsonDocument(QJsonObject{{"ports", portListJson(ports)}})
                                          .toJson(QJsonDocument::Indented))
                  : portListText(ports);
    std::fputs(text.toLocal8Bit().constData(), stdout);
    return 0;
  }

  if (const QString why = missingDisplay(argc, argv); !why.isEmpty()) {
    printErr(why + QLatin1Char('\n'));
    return 1;
  }
  guardToolkitStart();
  QApplication app(argc, argv);
  endToolkitStartGuard();
  // The program ends when the main window closes, whatever else is open.
  app.setQuitOnLastWindowClosed(false);

  // A signal before the main window exists leaves any start-up message box
  // (every event loop) and lets the start-up run to its end unattended; the
  // window is then closed at once. Later, it closes the window.
  bool terminating = false;
  TForm1* mainWindow = nullptr;
  watchTermination(&app, [&] {
    terminating = true;
    if (mainWindow)
      mainWindow->close();
    else
      QCoreApplication::exit(0);
  });

  const CommandLine line = parseCommandLine(app.arguments().mid(1));
  if (!line.error.isEmpty()) {
    printErr(QStringLiteral("calorix: %1\nTry 'calorix --help'.\n").arg(line.error));
    return 2;
  }

  LinkConfig config;
  config.iniPath = line.iniPath.isEmpty() ? defaultIniPath(QCoreApplication::applicationDirPath())
                                          : QFileInfo(line.iniPath).absoluteFilePath();
  config.dataRoot = dataRoot();
  config.portDeviceOverride = line.portDevice;
  config.openPort = serialPortOpener();

  // The simulator is up before the link opens its port.
  std::unique_ptr<sim::InProcessSimulator> simulator;
  if (line.simulate) {
    sim::SimulatorOptions options;
    options.simSpeed = line.simSpeed;
    options.statePath = line.statePath;
    if (line.telemetryMs) options.telemetryPeriodMs = *line.telemetryMs;
    for (const auto& [name, value] : line.furnaceOptions) {
      QString why;
      if (!sim::setFurnaceOption(options.furnace, name, value, &why)) {
        printErr(QStringLiteral("calorix: %1\nTry 'calorix --help'.\n").arg(why));
        return 2;
      }
    }
    if (options.statePath.isEmpty()) {
      QDir().mkpath(dataRoot());
      options.statePath = QDir(dataRoot()).filePath(QStringLiteral("sim-state.bin"));
    }
    QString error;
    simulator = sim::startInProcessSimulator(options, &error);
    if (!simulator) {
      printErr(QStringLiteral("calorix: the built-in simulator did not start: %1\n").arg(error));
      return 3;
    }
    config.portDeviceOverride = simulator->slavePath();
    printErr(QStringLiteral("calorix: running on the built-in simulator at %1 (state %2)\n")
                 .arg(simulator->slavePath(), options.statePath));
  }

  ConsoleSetup setup;
  setup.linkConfig = std::move(config);
  setup.showHidden = line.showHidden;
  Console console(std::move(setup));
  TForm1& form = console.form1();
  mainWindow = &form;

  bool closed = false;
  QObject::connect(&form, &TForm1::closed, &app, [&] {
    closed = true;
    QCoreApplication::quit();
  });
  if (qEnvironmentVariable("CALORIX_STARTUP_TIMING") == QStringLiteral("1")) {
    QObject::connect(&form, &TForm1::firstShown, &app, [&] {
      printErr(QStringLiteral("main window shown after %1 ms\n").arg(sinceStart.elapsed()));
    });
  }
  if (!line.screenshotPath.isEmpty()) {
    // Saved once the shown window has been laid out, then closed as by its close box.
    QObject::connect(&form, &TForm1::firstShown, &app, [&form, path = line.screenshotPath] {
      QTimer::singleShot(200, &form, [&form, path] {
        if (!form.grab().save(path, "PNG"))
          printErr(QStringLiteral("calorix: cannot save the screenshot to %1\n").arg(path));
        form.close();
      });
    });
  }

  int code = 0;
  if (terminating) {
    form.close();
  } else {
    // Shown from inside the event loop, so that a close during the password
    // window (a signal, say) also ends the main loop.
    QTimer::singleShot(0, &form, [&form] { form.show(); });
    code = app.exec();
  }
  if (!closed) form.close();
  if (simulator) {
    QString error;
    if (!simulator->saveState(&error))
      printErr(QStringLiteral("calorix: the simulator state was not saved: %1\n").arg(error));
  }
  return code;
}
