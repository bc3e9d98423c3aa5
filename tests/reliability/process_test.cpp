// The real program on a pty whose far end never answers (a controller that
// is switched off): the window comes up at once, and a termination signal at
// start-up ends it cleanly, also while a start-up message box is open.
#include <gtest/gtest.h>

#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <csignal>

#include "core/Cp1251.h"

#ifdef Q_OS_UNIX
#include "tests/support/Pty.h"
#endif

namespace calorix {
namespace {

#ifdef Q_OS_UNIX
// A pty whose master side nobody reads: the console's bytes go nowhere and
// nothing comes back.
using DeadLine = testing::Pty;

struct Program {
  explicit Program(const QString& iniText) {
    if (!iniText.isEmpty()) {
      QFile ini(dir.filePath("ZaroZ.ini"));
      if (ini.open(QIODevice::WriteOnly)) ini.write(cp1251::encode(iniText));
    }
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_DATA_HOME", dir.filePath("share"));
    env.insert("CALORIX_STARTUP_TIMING", "1");
    env.insert("CALORIX_ECHO_MESSAGES", "1");
    proc.setProcessEnvironment(env);
    proc.start(QStringLiteral(CALORIX_BINARY_DIR) + "/calorix",
               {"--ini", dir.filePath("ZaroZ.ini"), "--port-device", line.slaveName});
  }
  // Waits up to ms for text on the standard error.
  bool waitFor(const char* text, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!err.contains(text) && proc.state() == QProcess::Running && timer.elapsed() < ms) {
      proc.waitForReadyRead(200);
      err += proc.readAllStandardError();
    }
    err += proc.readAllStandardError();
    return err.contains(text);
  }
  void terminate() { ::kill(static_cast<pid_t>(proc.processId()), SIGTERM); }
  QStringList protocolFiles() const {
    QStringList found;
    QDirIterator it(dir.filePath("share"), {"*Data*.txt"}, QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
      const QString path = it.next();
      if (path.contains("/RS485/")) found << path;
    }
    return found;
  }

  DeadLine line;
  QTemporaryDir dir;
  QProcess proc;
  QByteArray err;
};

bool built() {
  return QFile::exists(QStringLiteral(CALORIX_BINARY_DIR) + "/calorix");
}

TEST(ProgramOnADeadLine, TheWindowComesUpAtOnceAndASignalDuringTheFirstReadOutEndsItCleanly) {
  if (!built()) GTEST_SKIP() << "calorix not built";
  Program c{QString()};
  ASSERT_FALSE(c.line.slaveName.isEmpty());
  ASSERT_TRUE(c.proc.waitForStarted(10000));
  // Before, the window came only after the whole first read-out: 2 min 44 s.
  ASSERT_TRUE(c.waitFor("main window shown after", 30000)) << c.err.toStdString();
  c.terminate();  // the first read-out is waiting for its first answer
  ASSERT_TRUE(c.proc.waitForFinished(40000));
  EXPECT_EQ(c.proc.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(c.proc.exitCode(), 0) << c.err.toStdString();
  // One file at the start and one per unanswered command at most.
  const QStringList files = c.protocolFiles();
  EXPECT_GE(files.size(), 1);
  EXPECT_LE(files.size(), 4) << files.join('\n').toStdString();
}

TEST(ProgramOnADeadLine, ASignalWhileAStartUpMessageBoxIsOpenEndsItCleanly) {
  if (!built()) GTEST_SKIP() << "calorix not built";
  // A frame length out of range: start-up tells it in a box and goes on.
  Program c(QStringLiteral("[Data PID]\r\nDataPid=600\r\n"));
  ASSERT_TRUE(c.proc.waitForStarted(10000));
  ASSERT_TRUE(c.waitFor("message box: DataPid = 600", 30000)) << c.err.toStdString();
  c.terminate();
  ASSERT_TRUE(c.proc.waitForFinished(20000));
  c.err += c.proc.readAllStandardError();
  EXPECT_EQ(c.proc.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(c.proc.exitCode(), 0) << c.err.toStdString();
  EXPECT_FALSE(c.err.contains("main window shown")) << "start-up went on to show the window";
  // The protocol file was opened after the box and closed whole at the end.
  const QStringList files = c.protocolFiles();
  ASSERT_EQ(files.size(), 1);
  QFile protocol(files[0]);
  ASSERT_TRUE(protocol.open(QIODevice::ReadOnly));
  EXPECT_EQ(protocol.readAll(), cp1251::encode(QString::fromUtf8("Данные работы RS485   \r\n")));
}
#endif

}  // namespace
}  // namespace calorix
