// The trend window in the whole console: opened by "График" and by Ctrl+G,
// fed by a PID-window run against the emulator, and never a byte of its own
// on the wire.
#include "tests/trend/trend_window_fixture.h"

namespace calorix::testing {
namespace {

using plot::Quantity;

TEST(TrendWindowTest, GrafikButtonAndCtrlGShowTheWindowAndCloseOnlyHidesIt) {
  TrendConsole c;
  ASSERT_FALSE(c.trend->isVisible());
  c.pressOn(&c.h.form1(), "Button30");
  c.pressOn(c.pid, "ButtonGrafik");
  EXPECT_TRUE(c.trend->isVisible());
  c.trend->close();
  EXPECT_FALSE(c.trend->isVisible());

  c.h.form1().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&c.h.form1()));
  c.h.ctrl().clearLogs();
  QTest::keyClick(&c.h.form1(), Qt::Key_G, Qt::ControlModifier);
  EXPECT_TRUE(c.trend->isVisible());
  // Showing it exchanged nothing.
  EXPECT_TRUE(c.h.ctrl().received().empty());
}

TEST(TrendWindowTest, FramesOfAPidRunReachTheChartAndStayWhileHidden) {
  TrendConsole c;
  c.trend->show();
  c.runPid(3);
  // The start's frame and three ticks.
  ASSERT_EQ(c.trend->liveStore().samples().size(), 4u);
  EXPECT_EQ(c.points(Quantity::Temperature), 4);
  EXPECT_EQ(c.points(Quantity::SetTemperature), 4);
  for (const plot::Sample& s : c.trend->liveStore().samples())
    EXPECT_EQ(s.source, plot::Source::PidRun);
  // The emulator's furnace heats from the room: real temperatures, not zeros.
  const QPointF last = c.trend->chart().curve(Quantity::Temperature).at(3);
  EXPECT_GT(last.y(), 0.0);
  // Frames four seconds apart on the clock.
  const auto& samples = c.trend->liveStore().samples();
  EXPECT_EQ(samples[3].timeMs - samples[2].timeMs, PidRun::kCyclePeriodMs);

  // Hidden, it still takes frames; shown again, it draws them.
  c.trend->close();
  c.timerPid().tick();
  EXPECT_EQ(c.trend->liveStore().samples().size(), 5u);
  c.trend->show();
  EXPECT_EQ(c.points(Quantity::Temperature), 5);

  // Stopped and started again: the new run is a new trend, not joined to
  // the last one across the time between.
  c.pressOn(c.pid, "Button3");
  c.timerPid().tick();
  ASSERT_EQ(c.h.console().run().PidRunActive, 0);
  const qint64 lastOfFirstRun = c.trend->liveStore().lastMs();
  c.h.clock().advance(60000);
  c.pressOn(c.pid, "Button1");
  c.timerPid().tick();
  ASSERT_EQ(c.trend->liveStore().samples().size(), 2u);
  EXPECT_GE(c.trend->liveStore().firstMs(), lastOfFirstRun + 60000);
  EXPECT_EQ(c.points(Quantity::Temperature), 2);
}

TEST(TrendWindowTest, CurveSwitchesEmptyAndRefillTheirSeries) {
  TrendConsole c;
  c.trend->show();
  c.runPid(2);
  auto* power = c.control<QCheckBox>(c.trend, "CheckBox_heater_power");
  auto* pAction = c.control<QCheckBox>(c.trend, "CheckBox_p_action");
  ASSERT_TRUE(power && pAction);
  ASSERT_TRUE(power->isChecked());
  ASSERT_FALSE(pAction->isChecked());
  EXPECT_EQ(c.points(Quantity::PAction), 0);
  QTest::mouseClick(pAction, Qt::LeftButton, {}, QPoint(5, pAction->height() / 2));
  QTest::mouseClick(power, Qt::LeftButton, {}, QPoint(5, power->height() / 2));
  EXPECT_EQ(c.points(Quantity::PAction), 3);
  EXPECT_EQ(c.points(Quantity::HeaterPower), 0);
  EXPECT_FALSE(c.trend->chart().curveShown(Quantity::HeaterPower));
}

// The bytes the emulator receives over a run of a few cycles, with the trend
// window shown and drawing after every frame or never opened.
std::vector<std::uint8_t> wireOfRun(bool trendOpen) {
  TrendConsole c;
  if (trendOpen) c.trend->show();
  c.h.ctrl().clearLogs();
  c.pressOn(&c.h.form1(), "Button30");
  c.pressOn(c.pid, "Button1");
  for (int i = 0; i < 3; ++i) {
    c.timerPid().tick();
    if (trendOpen) c.trend->drawPendingNow();
  }
  c.pressOn(c.pid, "Button3");
  c.timerPid().tick();  // carries out the stop
  EXPECT_EQ(c.h.console().run().PidRunActive, 0);
  if (trendOpen) {
    EXPECT_EQ(c.trend->liveStore().samples().size(), 5u);
  }
  return c.h.ctrl().received();
}

TEST(TrendWindowTest, TheWireIsTheSameWithTheTrendWindowOpen) {
  const std::vector<std::uint8_t> without = wireOfRun(false);
  const std::vector<std::uint8_t> with = wireOfRun(true);
  ASSERT_FALSE(without.empty());
  EXPECT_EQ(with, without);
}

}  // namespace
}  // namespace calorix::testing
