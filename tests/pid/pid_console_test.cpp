// The PID work window inside the whole console: shown by "Работа с ПИДом",
// driven by the main window's TimerPid, refused and refusing beside a Пуск
// run, and a run the closing of the main window ends cleanly; the owners of
// the three runs, of which one at a time holds the line.
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include "core/Cp1251.h"
#include "pid/TFormRabPID.h"
#include "pid/TelemetryStream.h"
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

  // The three runs, started and asked to stop through their controls.
  enum class Kind { Pusk, PidWindow, Stream };
  void start(Kind run) {
    switch (run) {
      case Kind::Pusk:
        return pressOn(&h.form1(), "ShapePuskStopTop");
      case Kind::PidWindow:
        return pressOn(pid, "Button1");
      case Kind::Stream:
        return pressOn(&h.form1(), "Button6");
    }
  }
  void askStop(Kind run) {
    if (run == Kind::Pusk)
      pressOn(&h.form1(), "ShapePuskStopTop");
    else
      pressOn(pid, "Button3");
  }
  void tick(Kind run) {
    if (run == Kind::Pusk)
      h.form1().parts().puskRun().tick();
    else
      timer().tick();
  }
  // The RAM output on, so that P/B starts a stream.
  void ramOutputOn() {
    auto* ramOut = h.form1().findChild<QWidget*>(QStringLiteral("Button7"));
    ramOut->show();
    QTest::mouseRelease(ramOut, Qt::LeftButton);
  }
  const RunState& state() { return h.console().run(); }

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

TEST_F(PidConsoleTest, AStartIsRefusedWhileAnotherRunHoldsTheLineRunningOrStopping) {
  struct Case {
    Kind holder;
    bool stopping;
    Kind starter;
    QString refusal;
  };
  ramOutputOn();
  const QString stream = TelemetryStream::runActiveText();
  const Case cases[] = {
      {Kind::Pusk, false, Kind::PidWindow, kPidStartRefusedText},
      {Kind::Pusk, false, Kind::Stream, stream},
      {Kind::Pusk, true, Kind::PidWindow, kPidStartRefusedText},
      {Kind::Pusk, true, Kind::Stream, stream},
      {Kind::PidWindow, false, Kind::Pusk, kPuskRefusedText},
      {Kind::PidWindow, false, Kind::Stream, stream},
      {Kind::PidWindow, true, Kind::Pusk, kPuskRefusedText},
      {Kind::PidWindow, true, Kind::Stream, stream},
      // Key code 1 now would start again what the next tick is to stop.
      {Kind::Pusk, true, Kind::Pusk, kPuskStopPendingText},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << int(c.holder) << (c.stopping ? " stopping, " : ", ") << int(c.starter));
    start(c.holder);
    const RunOwner owner = c.holder == Kind::Pusk ? RunOwner::Pusk : RunOwner::PidWindow;
    ASSERT_EQ(state().Owner, owner);
    if (c.stopping) askStop(c.holder);
    const RunState before = state();
    h.ctrl().clearLogs();
    h.messages.shown.clear();
    start(c.starter);
    EXPECT_EQ(h.messages.shown, QStringList{c.refusal});
    EXPECT_TRUE(h.ctrl().received().empty());
    EXPECT_EQ(state().Owner, owner);
    EXPECT_EQ(state().PuskFlag, before.PuskFlag);
    EXPECT_EQ(state().PidStopRequest, before.PidStopRequest);

    // The holder's own stop frees the line for the next start.
    if (!c.stopping) askStop(c.holder);
    tick(c.holder);
    EXPECT_EQ(state().Owner, RunOwner::None);
    EXPECT_EQ(state().PidRunActive, 0);
    EXPECT_EQ(state().PidStopRequest, 0);
  }
}

// Every colour Panel1 is given, in order.
struct ColourLog : QObject {
  std::vector<QColor> seen;
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::PaletteChange)
      seen.push_back(static_cast<QWidget*>(watched)->palette().color(QPalette::Window));
    return false;
  }
};

TEST_F(PidConsoleTest, StopBeforeTheFirstTickNeverShowsTheRunningColour) {
  ColourLog colours;
  h.form1().findChild<QWidget*>(QStringLiteral("Panel1"))->installEventFilter(&colours);
  start(Kind::Pusk);
  askStop(Kind::Pusk);
  tick(Kind::Pusk);
  EXPECT_EQ(colours.seen,
            (std::vector<QColor>{colors::kPusk, colors::kStop, colors::kActiveBorder}));
  EXPECT_EQ(state().PuskFlag, 0);
  EXPECT_EQ(state().Owner, RunOwner::None);
}

}  // namespace
}  // namespace calorix::testing
