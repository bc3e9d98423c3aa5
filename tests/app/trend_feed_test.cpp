// The other two producers: a Пуск run's ticks and the P/B telemetry stream
// each hand the trend every frame they have read, and nothing more goes down
// the line for it.
#include <QSpinBox>
#include <QTimer>

#include "core/ControllerMap.h"
#include "pid/PuskRun.h"
#include "pid/TelemetryStream.h"
#include "tests/trend/trend_window_fixture.h"

namespace calorix::testing {
namespace {

using plot::Quantity;

TEST(TrendFeedTest, EveryTickOfAPuskRunReachesTheChart) {
  TrendConsole c;
  c.trend->show();
  auto* key = c.control<QWidget>(&c.h.form1(), "ShapePuskStopTop");
  QTest::mousePress(key, Qt::LeftButton);
  QTest::mouseRelease(key, Qt::LeftButton);
  ASSERT_EQ(c.h.console().run().PuskFlag, 1);
  PuskRun& pusk = c.h.form1().parts().puskRun();
  for (int i = 0; i < 4; ++i) pusk.tick();
  const auto& samples = c.trend->liveStore().samples();
  ASSERT_EQ(samples.size(), 4u);
  for (const plot::Sample& s : samples) {
    EXPECT_EQ(s.source, plot::Source::PuskRun);
    EXPECT_EQ(s.program, 1);
    EXPECT_EQ(s.stage, 1);
    EXPECT_DOUBLE_EQ(s.value(Quantity::SetSpeed), 10);  // program 1, stage 1
  }
  EXPECT_EQ(c.points(Quantity::Temperature), 4);
}

TEST(TrendFeedTest, EveryFrameOfTheStreamReachesTheChartAndOnlyPbGoesOut) {
  TrendConsole c(onFurnace(ctl::streamFrame::kLineRateMs));
  c.trend->show();
  QTest::mouseRelease(c.control<QWidget>(&c.h.form1(), "Button7"), Qt::LeftButton);
  ASSERT_EQ(c.h.console().run().RamOutEnabled, 1);
  c.h.ctrl().clearLogs();
  // ВЫКЛ НАГРЕВ once the fifth frame is shown, while the stream lets events run.
  auto* stopper = new QTimer(&c.h.form1());
  stopper->setInterval(0);
  // At the second frame "План" asks for program 1 from the controller: the
  // stream holds the line, so it is refused and nothing goes out for it.
  bool planAsked = false;
  QObject::connect(stopper, &QTimer::timeout, stopper, [&c, &planAsked, stopper] {
    if (!planAsked && c.h.console().run().WorkCounter == 2) {
      planAsked = true;
      c.control<QSpinBox>(c.trend, "SpinProgram")->setValue(1);
      QTest::mouseClick(c.control<QPushButton>(c.trend, "ButtonPlan"), Qt::LeftButton);
    }
    if (c.h.console().run().WorkCounter < 5) return;
    QTest::mouseClick(c.control<QWidget>(&c.h.form1(), "Button11"), Qt::LeftButton);
    stopper->stop();
  });
  stopper->start();
  QTest::mouseRelease(c.control<QWidget>(&c.h.form1(), "Button6"), Qt::LeftButton);
  ASSERT_FALSE(c.h.form1().parts().telemetry().running());

  const auto& samples = c.trend->liveStore().samples();
  ASSERT_EQ(samples.size(), 5u);
  for (const plot::Sample& s : samples) {
    EXPECT_EQ(s.source, plot::Source::Stream);
    EXPECT_TRUE(s.has(Quantity::Temperature));
    EXPECT_FALSE(s.has(Quantity::HeatingSpeed));  // not in a telemetry frame
  }
  EXPECT_EQ(c.points(Quantity::Temperature), 5);
  EXPECT_EQ(c.h.ctrl().received(),
            (std::vector<std::uint8_t>{ctl::plainKey::kPB, ctl::plainKey::kPB}));
  ASSERT_TRUE(planAsked);
  EXPECT_EQ(c.h.messages.shown, QStringList{TFormGrafik::planReadRefusedText()});
}

}  // namespace
}  // namespace calorix::testing
