// calorix-cli plot as a user runs it: a real telemetry log in, a PNG of the
// size asked, an SVG and a CSV out; files never replaced by accident; and the
// built program drawing without a display.
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include "plot/ChartRenderer.h"
#include "tests/cli/CliRig.h"
#include "tests/plot/log_writers.h"
#include "tests/support/TestApplication.h"

namespace calorix::testing {
namespace {

class PlotCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testApplication();  // the QGuiApplication a drawing command finds
    LogWriter w;
    const QByteArray bytes = fileBytes(writeStreamLog(w, 50));
    ASSERT_FALSE(bytes.isEmpty());
    QDir().mkpath(rig.path("2026/03/05"));
    log = rig.path("2026/03/05/12_03_07 Data.txt");
    QFile file(log);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  CliRig rig;
  QString log;
};

// Pixels of the temperature curve's red: the chart is drawn, not just a white page.
int reddish(const QImage& image) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y)
    for (int x = 0; x < image.width(); ++x) {
      const QColor c = image.pixelColor(x, y);
      if (c.red() > 150 && c.green() < 90 && c.blue() < 90) ++n;
    }
  return n;
}

TEST_F(PlotCliTest, WritesAPngOfTheSizeAskedAnSvgAndACsvAndCountsTheLog) {
  const QString png = rig.path("run.png"), svg = rig.path("run.svg"), csv = rig.path("run.csv");
  ASSERT_EQ(rig.run({"plot", log, "--png", png, "--svg", svg, "--csv", csv, "--size", "800x500"}),
            cli::kExitOk)
      << rig.err.toStdString();
  EXPECT_TRUE(rig.out.contains(QStringLiteral("50 samples, 0 lines skipped")))
      << rig.out.toStdString();
  EXPECT_EQ(rig.linkOpens, 0);  // no controller needed

  const QImage image(png);
  ASSERT_FALSE(image.isNull());
  EXPECT_EQ(image.size(), QSize(800, 500));
  EXPECT_GT(reddish(image), 30);  // a blank page has none

  const QByteArray svgBytes = rig.fileBytes("run.svg");
  EXPECT_TRUE(svgBytes.contains("<svg")) << svgBytes.left(200).toStdString();
  EXPECT_TRUE(svgBytes.contains("viewBox=\"0 0 800 500\""));

  const QStringList rows =
      QString::fromUtf8(rig.fileBytes("run.csv")).split("\r\n", Qt::SkipEmptyParts);
  ASSERT_EQ(rows.size(), 51);
  EXPECT_EQ(rows[0], QStringLiteral("time,temperature,heater_power,p_action,i_action,d_action,"
                                    "total_action,error"));
  EXPECT_TRUE(rows[1].startsWith(QStringLiteral("2026-03-05T12:03:07.000")))
      << rows[1].toStdString();
  EXPECT_TRUE(rows[1].endsWith(QStringLiteral(",400,60,-2.25,1,0.5,-37,-2.5")))
      << rows[1].toStdString();
}

TEST_F(PlotCliTest, AnExistingFileIsReplacedOnlyWithForce) {
  const QString csv = rig.path("run.csv");
  rig.writeFile("run.csv", "keep me");
  EXPECT_EQ(rig.run({"plot", log, "--csv", csv}), cli::kExitFile);
  EXPECT_TRUE(rig.err.contains(QStringLiteral("exists; give --force"))) << rig.err.toStdString();
  EXPECT_EQ(rig.fileBytes("run.csv"), QByteArray("keep me"));

  ASSERT_EQ(rig.run({"--json", "plot", log, "--csv", csv, "--force"}), cli::kExitOk);
  const QJsonObject json = QJsonDocument::fromJson(rig.out.toUtf8()).object();
  EXPECT_EQ(json["kind"].toString(), QStringLiteral("stream"));
  EXPECT_EQ(json["samples"].toInt(), 50);
  EXPECT_EQ(json["skippedLines"].toInt(), 0);
  EXPECT_EQ(json["written"].toArray(), QJsonArray{csv});
  EXPECT_TRUE(rig.fileBytes("run.csv").startsWith("time,"));
}

TEST_F(PlotCliTest, BadLinesAndUnreadableLogsAreRefusedBeforeAnythingIsWritten) {
  const struct {
    QStringList args;
    int code;
    const char* message;
  } cases[] = {
      {{"plot", "LOG", "--size", "800"}, cli::kExitUsage, "--size 800: give WxH"},
      {{"plot", "LOG", "--size", "20x20"}, cli::kExitUsage, "--size 20x20 is outside"},
      {{"plot", "LOG", "--csv", "LOG"}, cli::kExitUsage, "LOG is the log itself"},
      {{"read-ram", "0", "1", "--png", "x.png"},
       cli::kExitUsage,
       "--png, --svg, --csv and --size belong to plot"},
      {{"plot", "missing.txt", "--csv", "OUT"}, cli::kExitFile, "missing.txt: "},
  };
  for (const auto& c : cases) {
    QStringList args = c.args;
    args.replaceInStrings(QStringLiteral("LOG"), log);
    args.replaceInStrings(QStringLiteral("OUT"), rig.path("out.csv"));
    args.replaceInStrings(QStringLiteral("missing.txt"), rig.path("missing.txt"));
    EXPECT_EQ(rig.run(args), c.code) << c.message;
    QString expected = QString::fromUtf8(c.message);
    expected.replace(QStringLiteral("LOG"), log)
        .replace(QStringLiteral("missing.txt"), rig.path("missing.txt"));
    EXPECT_TRUE(rig.err.startsWith(QStringLiteral("calorix-cli: ") + expected))
        << rig.err.toStdString();
    EXPECT_FALSE(QFile::exists(rig.path("out.csv")));
  }
}

// The built program, started as a shell starts it with no display at all.
TEST_F(PlotCliTest, TheProgramDrawsWithoutADisplay) {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
  QProcess process;
  process.setProcessEnvironment(env);
  const QString png = rig.path("shell.png");
  process.start(QStringLiteral(CALORIX_BINARY_DIR "/calorix-cli"),
                {"plot", log, "--png", png, "--size", "640x400"});
  ASSERT_TRUE(process.waitForFinished(60000));
  EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
  EXPECT_EQ(QImage(png).size(), QSize(640, 400));
}

}  // namespace
}  // namespace calorix::testing
