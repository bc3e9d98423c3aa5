// What the operator does with the chart: follow the last minutes, zoom with
// the wheel and a band, pan, show everything, read the values under the
// pointer, and save the picture.
#include <QDateTimeAxis>
#include <QImage>
#include <QLabel>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QWheelEvent>

#include "tests/trend/trend_window_fixture.h"

namespace calorix::testing {
namespace {

using plot::Quantity;

class TrendViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c.trend->resize(1200, 700);
    c.trend->show();
    c.runPid(30);  // two minutes of frames
    c.trend->drawPendingNow();
    view = c.control<TrendChartView>(c.trend, "ChartViewGrafik");
    ASSERT_NE(view, nullptr);
  }
  std::pair<qint64, qint64> axisRange() {
    QDateTimeAxis* axis = c.trend->chart().timeAxis();
    return {axis->min().toMSecsSinceEpoch(), axis->max().toMSecsSinceEpoch()};
  }
  plot::TrendStore::Samples samples() { return c.trend->liveStore().samples(); }
  QPoint plotPoint(double fraction) {
    const QRectF area = c.trend->chart().plotArea();
    return view->mapFromScene(c.trend->chart().mapToScene(
        QPointF(area.left() + fraction * area.width(), area.center().y())));
  }
  void wheel(QPoint at, int delta) {
    QWheelEvent event(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, delta),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view->viewport(), &event);
  }

  TrendConsole c;
  TrendChartView* view = nullptr;
};

TEST_F(TrendViewTest, FollowShowsAYoungRunFromItsStartAndAnOlderOneUpToTheNewestFrame) {
  auto* follow = c.control<QCheckBox>(c.trend, "CheckBoxSledit");
  ASSERT_TRUE(follow->isChecked());
  // Two minutes of frames in a ten-minute span: from the first frame on, not
  // squeezed against the right edge.
  auto [from, to] = axisRange();
  EXPECT_EQ(from, samples().front().timeMs);
  EXPECT_EQ(to - from, 10 * 60 * 1000);
  // A one-minute span: the last minute up to the newest frame, and on with it.
  c.control<QSpinBox>(c.trend, "SpinMinutes")->setValue(1);
  c.trend->drawPendingNow();
  std::tie(from, to) = axisRange();
  EXPECT_EQ(to, samples().back().timeMs);
  EXPECT_EQ(to - from, 60 * 1000);
  c.timerPid().tick();
  c.trend->drawPendingNow();
  EXPECT_EQ(axisRange().second, samples().back().timeMs);
}

TEST_F(TrendViewTest, WheelZoomsAboutThePointerAndEndsFollowing) {
  QTest::mouseClick(c.control<QPushButton>(c.trend, "ButtonAll"), Qt::LeftButton);
  const auto [from, to] = axisRange();
  ASSERT_EQ(from, samples().front().timeMs);
  const double atMs = c.trend->chart().timeAtX(c.trend->chart().plotArea().center().x());
  wheel(plotPoint(0.5), 120);
  const auto [zFrom, zTo] = axisRange();
  EXPECT_NEAR(double(zTo - zFrom), double(to - from) / 1.25, 2);
  // The time under the pointer stays under it.
  const double pixelMs = double(zTo - zFrom) / c.trend->chart().plotArea().width();
  EXPECT_NEAR(c.trend->chart().timeAtX(c.trend->chart().plotArea().center().x()), atMs, pixelMs);
  EXPECT_FALSE(c.control<QCheckBox>(c.trend, "CheckBoxSledit")->isChecked());
  // Fewer points: only what the narrower range holds (and one either side).
  EXPECT_LT(c.points(Quantity::Temperature), int(samples().size()));

  // A new frame no longer moves a range the operator chose.
  c.timerPid().tick();
  c.trend->drawPendingNow();
  EXPECT_EQ(axisRange(), std::make_pair(zFrom, zTo));
}

TEST_F(TrendViewTest, ABandZoomsToItsStretchAndADragPansByThePointersTravel) {
  QTest::mouseClick(c.control<QPushButton>(c.trend, "ButtonAll"), Qt::LeftButton);
  const auto [from, to] = axisRange();
  const double span = double(to - from);
  QTest::mousePress(view->viewport(), Qt::RightButton, {}, plotPoint(0.25));
  QTest::mouseMove(view->viewport(), plotPoint(0.5));
  QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, plotPoint(0.5));
  auto [bFrom, bTo] = axisRange();
  EXPECT_NEAR(double(bFrom), double(from) + span / 4, span / 100);
  EXPECT_NEAR(double(bTo), double(from) + span / 2, span / 100);
  // The curves run from edge to edge, cut there at the value between the
  // frames either side (the chart would not draw a segment to a point beyond
  // its axis as a straight line).
  const QList<QPointF>& temperature = c.trend->chart().curve(Quantity::Temperature);
  ASSERT_GE(temperature.size(), 2);
  EXPECT_DOUBLE_EQ(temperature.at(0).x(), double(bFrom));
  EXPECT_DOUBLE_EQ(temperature.at(temperature.size() - 1).x(), double(bTo));
  const std::size_t before = c.trend->liveStore().indexAt(bFrom);
  const plot::Sample a = samples()[before];
  const plot::Sample b = samples()[before + 1];
  const double expected = a.value(Quantity::Temperature) +
                          (b.value(Quantity::Temperature) - a.value(Quantity::Temperature)) *
                              double(bFrom - a.timeMs) / double(b.timeMs - a.timeMs);
  EXPECT_NEAR(temperature.at(0).y(), expected, 1e-6);

  // Dragging to the right by a tenth of the plot shows what came a tenth earlier.
  const double bSpan = double(bTo - bFrom);
  QTest::mousePress(view->viewport(), Qt::LeftButton, {}, plotPoint(0.4));
  QTest::mouseMove(view->viewport(), plotPoint(0.5));
  QTest::mouseRelease(view->viewport(), Qt::LeftButton, {}, plotPoint(0.5));
  const auto [pFrom, pTo] = axisRange();
  EXPECT_NEAR(double(pFrom), double(bFrom) - bSpan / 10, bSpan / 100);
  EXPECT_NEAR(double(pTo - pFrom), bSpan, 2);

  // A double click shows everything again.
  QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, plotPoint(0.5));
  EXPECT_EQ(axisRange(), std::make_pair(from, to));
}

TEST_F(TrendViewTest, HoverReadsOutEveryValueOfTheFrameUnderThePointer) {
  QTest::mouseClick(c.control<QPushButton>(c.trend, "ButtonAll"), Qt::LeftButton);
  // A move without a button, as the pointer passes over the chart (QTest
  // would only set the cursor's position).
  const QPoint pos = plotPoint(0.5);
  QMouseEvent move(QEvent::MouseMove, pos, view->viewport()->mapToGlobal(pos), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view->viewport(), &move);
  const qint64 at = qint64(c.trend->chart().timeAtX(c.trend->chart().plotArea().center().x()));
  const plot::Sample s = samples()[c.trend->liveStore().indexAt(at)];
  const QString text = c.control<QLabel>(c.trend, "LabelReadout")->text();
  EXPECT_TRUE(text.contains(QDateTime::fromMSecsSinceEpoch(s.timeMs).toString("HH:mm:ss")))
      << text.toStdString();
  EXPECT_TRUE(text.contains(QString::fromUtf8("программа 1, этап 1"))) << text.toStdString();
  // Every quantity the frame carries, switched on or not.
  for (const plot::QuantityInfo& info : plot::kQuantities)
    EXPECT_TRUE(text.contains(QString::fromUtf8(info.label))) << info.key;
}

TEST_F(TrendViewTest, StageMarkOfTheRunIsDrawn) {
  QTest::mouseClick(c.control<QPushButton>(c.trend, "ButtonAll"), Qt::LeftButton);
  ASSERT_EQ(c.trend->chart().markCount(), 1);
  EXPECT_EQ(c.trend->chart().markText(0), QString::fromUtf8("программа 1, этап 1"));
}

TEST_F(TrendViewTest, PngIsTheChartAsShownAndAFailedWriteIsReported) {
  QTemporaryDir dir;
  QString answer = dir.filePath("run.png");
  c.trend->setFileChooser([&](QWidget*, const TFormGrafik::FileQuestion& q) {
    EXPECT_EQ(q.defaultSuffix, "png");
    return answer;
  });
  QTest::mouseClick(c.control<QPushButton>(c.trend, "ButtonPng"), Qt::LeftButton);
  QImage image(answer);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), view->size() * view->devicePixelRatio());
  EXPECT_TRUE(c.h.messages.shown.isEmpty());

  answer = dir.filePath("no-such-dir/run.png");
  QTest::mouseClick(c.control<QPushButton>(c.trend, "ButtonPng"), Qt::LeftButton);
  ASSERT_EQ(c.h.messages.shown.size(), 1);
  EXPECT_TRUE(c.h.messages.shown[0].contains(answer));
  EXPECT_FALSE(QFile::exists(answer));
  // The window keeps what it shows.
  EXPECT_EQ(c.points(Quantity::Temperature), int(samples().size()));
}

}  // namespace
}  // namespace calorix::testing
