// The plan against the run: taken from the program editor or read from the
// controller before the run (refused while a run or the stream holds the
// line), drawn from the run's first frame at its temperature, the lag
// beyond the margin shaded.
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSpinBox>

#include "programs/TFormDataDide.h"

#include "tests/trend/trend_window_fixture.h"

namespace calorix::testing {
namespace {

using plot::Quantity;

class TrendPlanTest : public ::testing::Test {
 protected:
  void SetUp() override { c.trend->show(); }
  void choosePlanProgram(int n) { c.control<QSpinBox>(c.trend, "SpinProgram")->setValue(n); }
  void pressPlan() {
    QTest::mouseClick(c.control<QPushButton>(c.trend, "ButtonPlan"), Qt::LeftButton);
  }
  QLineSeries* plan() {
    c.trend->drawPendingNow();
    return c.trend->chart().planSeries();
  }
  TrendConsole c;
};

TEST_F(TrendPlanTest, ReadBeforeTheRunTheProgramIsPlannedFromTheRunsFirstFrame) {
  choosePlanProgram(1);
  c.h.ctrl().clearLogs();
  pressPlan();
  EXPECT_TRUE(c.h.messages.shown.isEmpty()) << c.h.messages.shown.join('\n').toStdString();
  EXPECT_FALSE(c.h.ctrl().received().empty());  // the program was read
  // No run yet: nothing to start the plan from.
  EXPECT_EQ(plan()->count(), 0);

  c.runPid(3);
  ASSERT_GE(plan()->count(), 2);
  const plot::Sample& first = c.trend->liveStore().samples().front();
  EXPECT_DOUBLE_EQ(plan()->at(0).x(), double(first.timeMs));
  EXPECT_DOUBLE_EQ(plan()->at(0).y(), first.value(Quantity::Temperature));
  // Heating at 10 °C/min towards 400 °C, as the program's first stage says;
  // drawn up to the end of the view (the newest frame), where it has got to.
  const std::vector<plot::PlanPoint> expected = plot::plannedProfile(
      plot::planStages(furnaceProgram()), first.timeMs, first.value(Quantity::Temperature));
  ASSERT_EQ(expected.size(), 5u);
  EXPECT_EQ(expected[1].temperature, 400);
  const qint64 last = c.trend->liveStore().lastMs();
  ASSERT_EQ(plan()->count(), 2);
  EXPECT_DOUBLE_EQ(plan()->at(1).x(), double(last));
  EXPECT_NEAR(plan()->at(1).y(),
              first.value(Quantity::Temperature) + 10.0 * double(last - first.timeMs) / 60000,
              1e-6);
}

TEST_F(TrendPlanTest, ReadFromTheControllerIsRefusedDuringARunWithNothingSent) {
  c.runPid(1);
  choosePlanProgram(1);
  c.h.ctrl().clearLogs();
  pressPlan();
  ASSERT_EQ(c.h.messages.shown, QStringList{TFormGrafik::planReadRefusedText()});
  EXPECT_TRUE(c.h.ctrl().received().empty());
  EXPECT_EQ(plan()->count(), 0);
  // The run goes on as before.
  c.timerPid().tick();
  EXPECT_EQ(c.trend->liveStore().samples().size(), 3u);
}

TEST_F(TrendPlanTest, TheEditorsProgramNeedsNoExchangeAndIsTakenDuringARun) {
  choosePlanProgram(0);
  pressPlan();
  // Nothing loaded in the editor yet.
  ASSERT_EQ(c.h.messages.shown, QStringList{TFormGrafik::noEditorProgramText()});
  c.h.messages.shown.clear();

  // The editor loads program 1 (its own exchange), then the run starts.
  auto* combo = c.control<QComboBox>(&c.h.console().window<TFormDataDide>(), "ComboBox1");
  ASSERT_NE(combo, nullptr);
  // Program 1 is shown at first: step to 2 and back, each step a load.
  QTest::keyClick(combo, Qt::Key_Down);
  QTest::keyClick(combo, Qt::Key_Up);
  ASSERT_EQ(c.h.console().window<TFormDataDide>().currentProgram(), 1);
  c.runPid(2);
  c.h.ctrl().clearLogs();
  pressPlan();
  EXPECT_TRUE(c.h.messages.shown.isEmpty()) << c.h.messages.shown.join('\n').toStdString();
  EXPECT_TRUE(c.h.ctrl().received().empty());
  EXPECT_GE(plan()->count(), 2);
}

TEST_F(TrendPlanTest, StretchesLaggingThePlanBeyondTheMarginAreShaded) {
  choosePlanProgram(1);
  pressPlan();
  c.runPid(40);
  c.trend->drawPendingNow();
  auto* margin = c.control<QDoubleSpinBox>(c.trend, "SpinMargin");
  // A furnace that heats from the room lags a plan of 10 °C/min at first by
  // more than a tenth of a degree, never by a thousand degrees.
  margin->setValue(0.1);
  c.trend->drawPendingNow();
  EXPECT_GE(c.trend->chart().lagCount(), 1);
  margin->setValue(1000);
  c.trend->drawPendingNow();
  EXPECT_EQ(c.trend->chart().lagCount(), 0);
}

}  // namespace
}  // namespace calorix::testing
