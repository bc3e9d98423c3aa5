// The installed programs as a shell starts them: calorix without a display
// says why in one line instead of aborting in the toolkit's words, and
// calorix-cli answers --help and a bad line without a controller.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

namespace calorix {
namespace {

struct Outcome {
  int code = -1;
  QString out;
  QString err;
};

Outcome runProgram(const QString& name, const QStringList& args,
                   const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
  QProcess process;
  process.setProcessEnvironment(env);
  process.start(QStringLiteral(CALORIX_BINARY_DIR "/") + name, args);
  Outcome outcome;
  if (!process.waitForFinished(30000)) {
    process.kill();
    process.waitForFinished();
    return outcome;
  }
  outcome.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -2;
  outcome.out = QString::fromLocal8Bit(process.readAllStandardOutput());
  outcome.err = QString::fromLocal8Bit(process.readAllStandardError());
  return outcome;
}

QProcessEnvironment withoutDisplay() {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  return env;
}

TEST(Executables, TheConsoleWithoutADisplaySaysSoInOneLine) {
  const Outcome none = runProgram("calorix", {}, withoutDisplay());
  EXPECT_EQ(none.code, 1);
  EXPECT_TRUE(none.err.startsWith("calorix: no display: DISPLAY and WAYLAND_DISPLAY are not set"))
      << none.err.toStdString();
  EXPECT_EQ(none.err.count('\n'), 1) << none.err.toStdString();

  // A display that is named but not there: the toolkit would abort.
  QProcessEnvironment env = withoutDisplay();
  env.insert("DISPLAY", ":4093");
  const Outcome absent = runProgram("calorix", {}, env);
  EXPECT_EQ(absent.code, 1);
  EXPECT_EQ(absent.err,
            QStringLiteral("calorix: no display: the display :4093 cannot be reached\n"));
}

TEST(Executables, TheCommandLineAnswersWithoutAController) {
  const Outcome help = runProgram("calorix-cli", {"--help"});
  EXPECT_EQ(help.code, 0);
  EXPECT_TRUE(help.out.startsWith("Usage: calorix-cli")) << help.out.toStdString();
  const Outcome bad = runProgram("calorix-cli", {"frob"});
  EXPECT_EQ(bad.code, 2);
  EXPECT_EQ(bad.err,
            QStringLiteral("calorix-cli: unknown command 'frob'\nTry 'calorix-cli --help'.\n"));
  // Over a device that is no serial port: the port is named, in bounded time.
  const Outcome noPort =
      runProgram("calorix-cli", {"--port-device", "/nonexistent/tty", "read-ram", "0x60", "1"});
  EXPECT_EQ(noPort.code, 3);
  EXPECT_EQ(noPort.err, QStringLiteral("calorix-cli: cannot open the port /nonexistent/tty\n"));
}

// Without a desktop session: the port list of the console and of the tool
// are the same, and neither tool prints a word of the toolkit's (a missing
// XDG_RUNTIME_DIR, say), drawing included.
TEST(Executables, ThePortListAndADrawingWithoutADesktopSayOnlyTheirOwnWords) {
  QProcessEnvironment env = withoutDisplay();
  env.remove("XDG_RUNTIME_DIR");
  for (const QStringList& json : {QStringList{}, QStringList{"--json"}}) {
    const Outcome console = runProgram("calorix", QStringList{"--list-ports"} + json, env);
    const Outcome tool = runProgram("calorix-cli", json + QStringList{"ports"}, env);
    EXPECT_EQ(console.code, 0);
    EXPECT_EQ(tool.code, 0);
    EXPECT_TRUE(console.err.isEmpty()) << console.err.toStdString();
    EXPECT_TRUE(tool.err.isEmpty()) << tool.err.toStdString();
    if (json.isEmpty()) {
      EXPECT_EQ(console.out, tool.out);
      EXPECT_FALSE(console.out.isEmpty());
    } else {
      const QJsonValue fromConsole = QJsonDocument::fromJson(console.out.toUtf8())["ports"];
      ASSERT_TRUE(fromConsole.isArray()) << console.out.toStdString();
      EXPECT_EQ(fromConsole, QJsonDocument::fromJson(tool.out.toUtf8())["ports"]);
    }
  }
  EXPECT_EQ(runProgram("calorix", {"--list-ports", "--frob"}, env).code, 2);

  QTemporaryDir dir;
  const QString day = dir.filePath("2026/03/05");
  ASSERT_TRUE(QDir().mkpath(day));
  QFile log(day + "/10_00_00 Data.txt");
  ASSERT_TRUE(log.open(QIODevice::WriteOnly));
  log.write("1 ; 10:00:00 ; 1 ; 1 ; 100\r\n2 ; 10:00:04 ; 1 ; 1 ; 101\r\n");
  log.close();
  const Outcome drawn =
      runProgram("calorix-cli", {"plot", log.fileName(), "--png", dir.filePath("a.png")}, env);
  EXPECT_EQ(drawn.code, 0) << drawn.err.toStdString();
  EXPECT_TRUE(drawn.err.isEmpty()) << drawn.err.toStdString();
  EXPECT_TRUE(QFileInfo::exists(dir.filePath("a.png")));
}

}  // namespace
}  // namespace calorix
