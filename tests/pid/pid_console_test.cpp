// The PID work window inside the whole console: shown by "Работа с ПИДом",
// driven by the main window's TimerPid, refused and refusing beside a Пуск
// run, and a run the closing of the main window ends cleanly.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "core/Cp1251.h"
#include "pid/TFormRabPID.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/TestApplication.h"

namespace calorix::testing {
namespace {

class PidConsoleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testApplication();
    QDir().mkpath(h.harness().dataRoot());
    h.password = kAccessPassword;
    h.start(QStringLiteral("[Vid prog]\r\nVidProg=4\r\n[Dir]\r\nDirAll=") + h.harness().dataRoot() +
            QStringLiteral("/logs\r\n"));
    h.show();
    pid = &h.console().window<TFormRabPID>();
  }

  void pressOn(QWidget* root, const char* name) {
    auto* target = root->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(target, nullptr) << name;
    QTest::mousePress(target, Qt::LeftButton, {}, target->rect().center());
    QTest::mouseRelease(target, Qt::LeftButton, {}, target->rect().center());
  }
  QString pidText(const char* name) {
    return pid->findChild<QLineEdit*>(QString::fromLatin1(name))->text();
  }
  QStringList logLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = cp1251::decode(file.readAll()).split(QStringLiteral("\r\n"));
    lines.removeAll(QString());
    return lines;
  }
  PidRun& timer() { return h.form1().parts().pidRun(); }

  ConsoleHarness h;
  TFormRabPID* pid = nullptr;
};

TEST_F(PidConsoleTest, PuskIsRefusedWhileThePidWindowRunsAndClosingEndsTheRunCleanly) {
  pressOn(&h.form1(), "Button30");
  ASSERT_TRUE(pid->isVisible());
  pressOn(pid, "Button1");
  timer().tick();
  ASSERT_EQ(pidText("EditNumIzm"), "2");
  EXPECT_TRUE(timer().TimerPid().isActive());
  const QString logPath = h.link().dataLogPath();

  h.ctrl().clearLogs();
  pressOn(&h.form1(), "ShapePuskStopTop");
  EXPECT_EQ(h.messages.shown, QStringList{kPuskRefusedText});
  EXPECT_TRUE(h.ctrl().received().empty());
  EXPECT_EQ(h.console().run().PuskFlag, 0);
  EXPECT_EQ(h.console().run().Owner, RunOwner::PidWindow);
  EXPECT_EQ(h.link().dataLogPath(), logPath);  // no work log replaced it
  EXPECT_FALSE(h.form1().parts().puskRun().TimerPuskPidNew().isActive());

  // Closed in the middle of the run: no tick follows, every line is on disk.
  h.close();
  EXPECT_FALSE(timer().TimerPid().isActive());
  EXPECT_FALSE(h.link().dataLogOpen());
  EXPECT_FALSE(h.link().portOpen());
  EXPECT_FALSE(pid->isVisible());
  const QStringList lines = logLines(logPath);
  ASSERT_EQ(lines.size(), 4);  // two headers, two data lines
  EXPECT_TRUE(lines[3].startsWith(QStringLiteral("2  ;  "))) << lines[3].toStdString();
}

TEST_F(PidConsoleTest, StartIsRefusedWhileAPuskRunIsOnEvenWhenItIsStopping) {
  pressOn(&h.form1(), "ShapePuskStopTop");
  ASSERT_EQ(h.console().run().Owner, RunOwner::Pusk);
  pressOn(&h.form1(), "Button30");
  for (int press = 0; press < 2; ++press) {
    h.ctrl().clearLogs();
    pressOn(pid, "Button1");
    EXPECT_TRUE(h.ctrl().received().empty());
    EXPECT_FALSE(timer().TimerPid().isActive());
    // Nor does a tick of TimerPid take the Пуск run's frames.
    timer().tick();
    EXPECT_EQ(h.console().run().WorkCounter, 0);
    EXPECT_TRUE(pid->findChild<QPushButton*>("Button1")->isEnabled());
    // Стоп: the Пуск run holds the flags until its next tick stops it.
    if (press == 0) pressOn(&h.form1(), "ShapePuskStopTop");
  }
  EXPECT_EQ(h.messages.shown, (QStringList{kPidStartRefusedText, kPidStartRefusedText}));
  h.form1().parts().puskRun().tick();
  EXPECT_EQ(h.console().run().Owner, RunOwner::None);
  h.ctrl().clearLogs();
  pressOn(pid, "Button1");
  EXPECT_EQ(h.console().run().Owner, RunOwner::PidWindow);
  EXPECT_TRUE(timer().TimerPid().isActive());
  h.close();
}

}  // namespace
}  // namespace calorix::testing
