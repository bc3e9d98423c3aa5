// The trend window's files: what is shown exported as CSV and SVG, and a past
// data log opened and shown the same way, with what it could not read
// counted; a file that cannot be read loses nothing.
#include <QDateTimeAxis>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>

#include "core/Cp1251.h"
#include "plot/CsvExport.h"
#include "tests/trend/trend_window_fixture.h"

namespace calorix::testing {
namespace {

using plot::Quantity;

class TrendFilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    c.trend->resize(1200, 700);
    c.trend->show();
    c.trend->setFileChooser([this](QWidget*, const TFormGrafik::FileQuestion& q) {
      questions.push_back(q);
      return answer;
    });
  }
  void click(const char* name) {
    QTest::mouseClick(c.control<QPushButton>(c.trend, name), Qt::LeftButton);
  }
  QStringList csvLines(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    lines.removeAll(QString());
    return lines;
  }
  QString info() { return c.control<QLabel>(c.trend, "LabelInfo")->text(); }

  TrendConsole c;
  QTemporaryDir dir;
  QString answer;
  std::vector<TFormGrafik::FileQuestion> questions;
};

TEST_F(TrendFilesTest, CsvHoldsTheShownCurvesOverTheShownRange) {
  c.runPid(9);  // ten frames
  click("ButtonAll");
  answer = dir.filePath("all.csv");
  click("ButtonCsv");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].defaultSuffix, "csv");
  QStringList lines = csvLines(answer);
  ASSERT_EQ(lines.size(), 11);
  // The curves switched on as the window opens, in their order.
  EXPECT_EQ(lines[0], "time,temperature,set_temperature,heater_power");
  const plot::Sample& first = c.trend->liveStore().samples().front();
  EXPECT_EQ(lines[1].section(',', 0, 0), plot::isoLocalTime(first.timeMs));

  // A curve switched on is a column more; a narrower range, fewer rows.
  auto* pAction = c.control<QCheckBox>(c.trend, "CheckBox_p_action");
  QTest::mouseClick(pAction, Qt::LeftButton, {}, QPoint(5, pAction->height() / 2));
  auto* view = c.control<TrendChartView>(c.trend, "ChartViewGrafik");
  const QRectF area = c.trend->chart().plotArea();
  const auto at = [&](double f) {
    return view->mapFromScene(
        c.trend->chart().mapToScene(QPointF(area.left() + f * area.width(), area.center().y())));
  };
  QTest::mousePress(view->viewport(), Qt::RightButton, {}, at(0.3));
  QTest::mouseRelease(view->viewport(), Qt::RightButton, {}, at(0.7));
  answer = dir.filePath("part.csv");
  click("ButtonCsv");
  lines = csvLines(answer);
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(lines[0], "time,temperature,set_temperature,heater_power,p_action");
  const qint64 from = c.trend->chart().timeAxis()->min().toMSecsSinceEpoch();
  const qint64 to = c.trend->chart().timeAxis()->max().toMSecsSinceEpoch();
  int inRange = 0;
  for (const plot::Sample& s : c.trend->liveStore().samples())
    inRange += s.timeMs >= from && s.timeMs <= to;
  EXPECT_EQ(lines.size() - 1, inRange);
  EXPECT_LT(inRange, 10);
}

TEST_F(TrendFilesTest, SvgIsTheChartAsAVectorPicture) {
  c.runPid(3);
  answer = dir.filePath("run.svg");
  click("ButtonSvg");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0].defaultSuffix, "svg");
  QFile file(answer);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray svg = file.readAll();
  EXPECT_TRUE(svg.contains("<svg")) << svg.left(200).toStdString();
  EXPECT_TRUE(svg.contains("</svg>"));
  // Drawn, not an empty page: the curves are paths.
  EXPECT_TRUE(svg.contains("<path"));
  EXPECT_TRUE(c.h.messages.shown.isEmpty());
}

TEST_F(TrendFilesTest, TheRunsOwnLogOpensAsTheRunWasDrawnAndLiveComesBack) {
  c.runPid(5);
  const QString logPath = c.h.link().dataLogPath();
  c.pressOn(c.pid, "Button3");
  c.timerPid().tick();  // the stop closes the run log
  ASSERT_FALSE(c.h.link().dataLogOpen());
  const std::size_t liveCount = c.trend->liveStore().samples().size();

  answer = logPath;
  click("ButtonOpenLog");
  ASSERT_EQ(questions.size(), 1u);
  EXPECT_TRUE(questions[0].defaultSuffix.isEmpty());  // a file to open
  EXPECT_TRUE(c.h.messages.shown.isEmpty()) << c.h.messages.shown.join('\n').toStdString();
  // One line a frame: the start's, five ticks and the stop's tick.
  const auto& logged = c.trend->shownStore().samples();
  ASSERT_EQ(logged.size(), 7u);
  ASSERT_EQ(liveCount, 7u);
  EXPECT_EQ(logged.front().source, plot::Source::Log);
  EXPECT_EQ(c.points(Quantity::Temperature), 7);
  EXPECT_TRUE(info().contains(QString::fromUtf8("пропущено строк 0"))) << info().toStdString();
  // The log's temperatures are the frames' (as the line shows them).
  EXPECT_NEAR(logged.back().value(Quantity::Temperature),
              c.trend->liveStore().samples()[6].value(Quantity::Temperature), 0.01);

  click("ButtonLive");
  EXPECT_EQ(&c.trend->shownStore(), &c.trend->liveStore());
  EXPECT_EQ(c.trend->liveStore().samples().size(), liveCount);
}

TEST_F(TrendFilesTest, LinesThatAreNotLogLinesAreCountedAndABadFileLosesNothing) {
  c.runPid(2);
  const QString logPath = c.h.link().dataLogPath();
  c.pressOn(c.pid, "Button3");
  c.timerPid().tick();
  // The run's log with a foreign line inside and its last line cut short.
  QFile original(logPath);
  ASSERT_TRUE(original.open(QIODevice::ReadOnly));
  QList<QByteArray> lines = original.readAll().split('\n');
  lines.removeAll(QByteArray());
  ASSERT_EQ(lines.size(), 2 + 4);  // the start's frame, two ticks, the stop's tick
  lines.insert(3, cp1251::encode(QString::fromUtf8("какая-то заметка\r")));
  lines.last() = lines.last().left(20);
  const QString damaged = dir.filePath("damaged.txt");
  QFile out(damaged);
  ASSERT_TRUE(out.open(QIODevice::WriteOnly));
  out.write(lines.join('\n'));
  out.close();

  answer = damaged;
  click("ButtonOpenLog");
  ASSERT_TRUE(c.h.messages.shown.isEmpty()) << c.h.messages.shown.join('\n').toStdString();
  EXPECT_EQ(c.trend->shownStore().samples().size(), 3u);
  EXPECT_TRUE(info().contains(QString::fromUtf8("пропущено строк 2"))) << info().toStdString();

  // A file that cannot be read: a message, and the log shown stays.
  answer = dir.filePath("no-such-log.txt");
  click("ButtonOpenLog");
  ASSERT_EQ(c.h.messages.shown.size(), 1);
  EXPECT_TRUE(c.h.messages.shown[0].contains(answer)) << c.h.messages.shown[0].toStdString();
  EXPECT_EQ(c.trend->shownStore().samples().size(), 3u);
  EXPECT_EQ(c.trend->liveStore().samples().size(), 4u);
}

}  // namespace
}  // namespace calorix::testing
