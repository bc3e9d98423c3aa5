// The console's command line and one run of the real program on a pty.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include "app/CommandLine.h"
#include "core/Cp1251.h"
#include "link/IniFile.h"
#include "link/Settings.h"
#include "tests/support/StartupFiles.h"

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace calorix {
namespace {

using testing::codesInFile;
using testing::protocolFileOf;

// ---- command line ----------------------------------------------------------

TEST(CommandLineTest, OptionsAndValues) {
  const CommandLine a = parseCommandLine(
      {"--port-device", "/dev/pts/7", "--ini=/tmp/x/ZaroZ.ini", "--screenshot", "w.png"});
  EXPECT_TRUE(a.error.isEmpty()) << a.error.toStdString();
  EXPECT_EQ(a.portDevice, "/dev/pts/7");
  EXPECT_EQ(a.iniPath, "/tmp/x/ZaroZ.ini");
  EXPECT_EQ(a.screenshotPath, "w.png");
  EXPECT_FALSE(a.simulate);

  const CommandLine s = parseCommandLine({"--simulate", "--sim-speed", "60", "--state=s.bin"});
  EXPECT_TRUE(s.error.isEmpty()) << s.error.toStdString();
  EXPECT_TRUE(s.simulate);
  EXPECT_DOUBLE_EQ(s.simSpeed, 60.0);
  EXPECT_EQ(s.statePath, "s.bin");
  EXPECT_FALSE(s.telemetryMs.has_value());  // the simulator's own cadence
  EXPECT_FALSE(s.showHidden);

  const CommandLine t = parseCommandLine({"--simulate", "--telemetry-ms=25", "--show-hidden",
                                          "--furnace-lag=240", "--furnace-rate", "30"});
  EXPECT_TRUE(t.error.isEmpty()) << t.error.toStdString();
  EXPECT_EQ(t.telemetryMs, 25);
  const QList<QPair<QString, QString>> furnace{{"--furnace-lag", "240"}, {"--furnace-rate", "30"}};
  EXPECT_EQ(t.furnaceOptions, furnace);
  EXPECT_TRUE(t.showHidden);

  EXPECT_TRUE(parseCommandLine({"--help"}).help);
  EXPECT_TRUE(parseCommandLine({}).error.isEmpty());
}

TEST(CommandLineTest, UnusableLinesAreRefused) {
  const QList<QStringList> bad{
      {"--port-device"},                      // value missing
      {"--ini="},                             // empty value
      {"--bogus"},                            // unknown
      {"stray"},                              // not an option
      {"--simulate=yes"},                     // a switch with a value
      {"--simulate", "--sim-speed", "0"},     // not positive
      {"--simulate", "--sim-speed", "fast"},  // not a number
      {"--simulate", "--sim-speed", "nan"},
      {"--sim-speed", "2"},  // simulator option without --simulate
      {"--state", "s.bin"},
      {"--telemetry-ms", "100"},  // only for the simulator
      {"--furnace-dead-time", "30"},
      {"--simulate", "--telemetry-ms", "24"},    // faster than the line
      {"--simulate", "--telemetry-ms", "25.5"},  // whole milliseconds
      {"--simulate", "--telemetry-ms", "-100"},
      {"--show-hidden=1"},
      {"--simulate", "--port-device", "/dev/ttyS0"},  // two ports
  };
  for (const QStringList& args : bad)
    EXPECT_FALSE(parseCommandLine(args).error.isEmpty()) << args.join(' ').toStdString();
}

// ---- the program itself ----------------------------------------------------

#ifdef Q_OS_UNIX
// Runs the built console on the offscreen platform against a pty whose far end
// is the controller simulator, waits until the main window is shown, sends
// SIGTERM and checks the exit code and the files left behind.
TEST(ProgramTest, RunsOnAPtyAndEndsCleanlyOnSigterm) {
  const QString bin = QStringLiteral(CALORIX_BINARY_DIR);
  const QString console = bin + "/calorix";
  const QString simulator = bin + "/calorix-sim";
  if (!QFile::exists(console) || !QFile::exists(simulator)) GTEST_SKIP() << "programs not built";

  QTemporaryDir dir;
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", "offscreen");
  env.insert("XDG_DATA_HOME", dir.filePath("share"));
  env.insert("CALORIX_STARTUP_TIMING", "1");

  QProcess sim;
  sim.setProcessEnvironment(env);
  sim.start(simulator, {});
  ASSERT_TRUE(sim.waitForStarted(10000));
  ASSERT_TRUE(sim.waitForReadyRead(10000));
  const QString slave = QString::fromLocal8Bit(sim.readLine()).trimmed();
  ASSERT_TRUE(slave.startsWith("/dev/")) << slave.toStdString();

  const QString ini = dir.filePath("ZaroZ.ini");
  QProcess proc;
  proc.setProcessEnvironment(env);
  proc.setReadChannel(QProcess::StandardError);
  proc.start(console, {"--ini", ini, "--port-device", slave});
  ASSERT_TRUE(proc.waitForStarted(10000));
  QByteArray err;
  while (!err.contains("main window shown after") && proc.state() == QProcess::Running) {
    proc.waitForReadyRead(1000);
    err += proc.readAllStandardError();
  }
  ASSERT_TRUE(err.contains("main window shown after")) << err.toStdString();
  ::kill(static_cast<pid_t>(proc.processId()), SIGTERM);
  ASSERT_TRUE(proc.waitForFinished(60000));
  EXPECT_EQ(proc.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(proc.exitCode(), 0) << err.toStdString();

  sim.terminate();
  sim.waitForFinished(10000);

  IniFile settings(ini);
  settings.reload();
  EXPECT_EQ(settings.readInt("Com portD", "NumPort", 0), 2);
  EXPECT_EQ(settings.readInt("Com portD", "StopBits", 0), 2);
  EXPECT_EQ(settings.readInt("Com port", "BaudRate", 0), 115200);
  EXPECT_EQ(settings.readInt("Com port", "ByteSize", 0), 8);
  EXPECT_EQ(settings.readInt("Vid prog", "Vidprog", 0), 1);
  EXPECT_EQ(codesInFile(ini), kLockedCodes);
  EXPECT_EQ(settings.readInt("Data PID", "DataPid", 0), 310);
  EXPECT_EQ(settings.readString("Dir", "DirAll", ""), QString::fromUtf8("C:\\Данные Pidа"));
  EXPECT_EQ(settings.readString("Dir", "DirProtocol", ""), QString::fromUtf8("Протоколы"));
  EXPECT_EQ(settings.readString("RS485", "WriteRs485", ""), QStringLiteral("Disable"));

  const QString protocol = protocolFileOf(dir.filePath("share/calorix"));
  ASSERT_FALSE(protocol.isEmpty());
  QFile file(protocol);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(
      file.readAll().startsWith(cp1251::encode(QString::fromUtf8("Данные работы RS485   \r\n"))));
}
#endif

}  // namespace
}  // namespace calorix
