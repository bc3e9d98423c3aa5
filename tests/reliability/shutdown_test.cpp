// Start-up and shutdown under failures, in process: a log disk that refuses
// every write, a close that comes in the middle of a read-out, and a
// controller that is switched off when the console starts.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDirIterator>
#include <QTest>

#include <csignal>

#include <sys/resource.h>

#include "tests/support/ConsoleHarness.h"
#include "tests/support/TestApplication.h"

namespace calorix {
namespace {

using testing::ConsoleHarness;

// Every key present: start-up writes nothing to the settings file.
QString fullIni(const QString& dataRoot, bool protocolOn) {
  return QString::fromUtf8(
             "[Com port]\r\nNumPort=2\r\nBaudRate=115200\r\nByteSize=8\r\nStopBits=2\r\n"
             "[Vid prog]\r\nVidProg=1\r\nCodeProg1=28316457\r\nCodeProg2=6143872\r\n"
             "CodeProg3=3870615\r\n[Data PID]\r\nDataPid=310\r\n[Dir]\r\nDirAll=%1\r\n"
             "DirProtocol=Протоколы\r\n[RS485]\r\nWriteRs485=%2\r\n")
      .arg(dataRoot + QStringLiteral("/logs"), protocolOn ? "Enabled" : "Disable");
}

QStringList protocolFiles(const QString& root) {
  QStringList found;
  QDirIterator it(root, {QStringLiteral("*Data*.txt")}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    const QString path = it.next();
    if (path.contains(QStringLiteral("/RS485/"))) found << path;
  }
  return found;
}

// No file of this process may grow while it lives: a full disk, as the log
// files see it (the settings file is not written at all).
struct FullDisk {
  FullDisk() {
    ::getrlimit(RLIMIT_FSIZE, &saved);
    previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = saved;
    none.rlim_cur = 0;
    ::setrlimit(RLIMIT_FSIZE, &none);
  }
  ~FullDisk() {
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);
  }
  rlimit saved{};
  void (*previous)(int) = nullptr;
};

TEST(Shutdown, AProtocolFileThatCannotBeWrittenIsReportedOnceAndTheCloseFinishes) {
  testing::testApplication();
  ConsoleHarness h;
  QDir().mkpath(h.harness().dataRoot());
  // The protocol switch on: "Disable" would be written back to the settings.
  h.harness().writeIni(fullIni(h.harness().dataRoot(), true));
  const QString fileError = QString::fromUtf8("Не удалось записать в файл");
  FullDisk disk;
  h.start();
  // The protocol file was created but its first line could not be written:
  // told once, and the tracing stops there.
  ASSERT_EQ(h.messages.shown.size(), 1);
  EXPECT_TRUE(h.messages.shown[0].startsWith(fileError)) << h.messages.shown[0].toStdString();
  EXPECT_TRUE(h.link().tracingStopped());
  h.show();  // the first read-out runs to its end, untraced, and tells nothing again
  EXPECT_EQ(h.messages.shown.size(), 1);
  EXPECT_EQ(h.ctrl().received().size(), 3u * 6u);
  bool closed = false;
  QObject::connect(&h.form1(), &TForm1::closed, [&] { closed = true; });
  h.close();  // threw out of the close handler before
  EXPECT_TRUE(closed);
  EXPECT_FALSE(h.link().portOpen());
  EXPECT_FALSE(h.link().dataLogOpen());
  EXPECT_EQ(h.messages.shown.size(), 1) << h.messages.shown.join('|').toStdString();
  // A second close (a signal after the close box) reports nothing either.
  h.close();
  EXPECT_EQ(h.messages.shown.size(), 1);
}

TEST(Shutdown, ACloseDuringTheReadOutStartsNoProtocolFileAfterIt) {
  testing::testApplication();
  ConsoleHarness h;
  QDir().mkpath(h.harness().dataRoot());
  h.harness().writeIni(fullIni(h.harness().dataRoot(), true));
  h.start();
  h.show();
  const QStringList before = protocolFiles(h.harness().dataRoot());
  ASSERT_EQ(before.size(), 1);
  // The close box is clicked while the read-out lets events run; the
  // read-out's remaining commands then find the port closed.
  QMetaObject::invokeMethod(&h.form1(), "close", Qt::QueuedConnection);
  QTest::mouseClick(h.form1().findChild<QWidget*>("ShapeProgTop"), Qt::LeftButton);
  EXPECT_FALSE(h.link().portOpen());
  EXPECT_EQ(protocolFiles(h.harness().dataRoot()), before);
}

// A controller switched off: the main window is shown before any byte goes
// out, and the first read-out costs one time-out per command (three), with
// one protocol file per missing answer instead of one per byte.
TEST(Startup, ASilentControllerIsReadBehindTheShownWindowOneTimeOutPerCommand) {
  testing::testApplication();
  ConsoleHarness h;
  QDir().mkpath(h.harness().dataRoot());
  sim::Faults silent;
  silent.silent = true;
  h.ctrl().setFaults(silent);
  h.start(fullIni(h.harness().dataRoot(), true));
  EXPECT_TRUE(h.ctrl().received().empty()) << "nothing goes out before the window is shown";
  std::size_t receivedAtShow = 99;
  QObject::connect(&h.form1(), &TForm1::firstShown,
                   [&] { receivedAtShow = h.ctrl().received().size(); });
  const qint64 started = h.clock().nowMs();
  h.show();
  EXPECT_EQ(receivedAtShow, 0u);
  const qint64 took = h.clock().nowMs() - started;
  // Three one-byte reads that wait their whole time-out, three 100 ms pauses.
  EXPECT_GE(took, 3 * 6030);
  EXPECT_LE(took, 3 * 6030 + 1000);
  // Only the command byte of each of the three reads went out.
  EXPECT_EQ(h.ctrl().received(), (std::vector<std::uint8_t>{0x05, 0x05, 0x05}));
  EXPECT_EQ(h.link().status().code, 0);
  EXPECT_FALSE(h.link().lastFramedAnswered());
  EXPECT_EQ(h.link().FlagLinkBreak(), 0);
  EXPECT_EQ(protocolFiles(h.harness().dataRoot()).size(), 4);

  // Switched on again: the next read-out is whole.
  h.ctrl().setFaults(sim::Faults{});
  h.ctrl().clearLogs();
  QTest::mouseClick(h.form1().findChild<QWidget*>("ShapeProgTop"), Qt::LeftButton);
  EXPECT_TRUE(h.link().lastFramedAnswered());
  EXPECT_EQ(h.ctrl().received().size(), 4u + 3u * 6u);  // the key's frame, the three reads
}

}  // namespace
}  // namespace calorix
