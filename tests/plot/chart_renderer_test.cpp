// The headless chart: lag stretches shaded where they are in time, and sizes
// a file cannot have refused before anything is written.
#include <QFile>
#include <QImage>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "plot/ChartRenderer.h"
#include "tests/support/TestApplication.h"

namespace calorix::testing {
namespace {

using namespace calorix::plot;

constexpr qint64 kT0 = 1'772'700'000'000;
constexpr qint64 kMin = 60'000;

// Pixels of the lag shading (a pale red over white) in one column of the image.
int shadedIn(const QImage& image, int x) {
  int n = 0;
  for (int y = 0; y < image.height(); ++y) {
    const QColor c = image.pixelColor(x, y);
    if (c.red() >= 250 && c.green() > 200 && c.green() < 245 && c.blue() > 200 && c.blue() < 245)
      ++n;
  }
  return n;
}

TEST(ChartRenderer, LagStretchesAreShadedAtTheirTimesOnly) {
  testApplication();
  TrendStore store;
  for (int i = 0; i <= 10; ++i) {
    Sample s;
    s.timeMs = kT0 + i * kMin;
    s.set(Quantity::Temperature, 100 + i);
    store.append(s);
  }
  ChartRequest request;
  request.store = &store;
  request.fromMs = kT0;
  request.toMs = kT0 + 10 * kMin;
  request.plan = {{kT0, 100}, {kT0 + 10 * kMin, 150}};
  request.lags = {{kT0 + 2 * kMin, kT0 + 4 * kMin}};
  request.size = QSize(800, 400);
  QImage image(request.size, QImage::Format_ARGB32_Premultiplied);
  QPainter painter(&image);
  renderChart(painter, request);
  painter.end();

  // The plot's frame: its top and bottom borders are the rows with the most dark pixels, and
  // their first and last dark pixels are its left and right edges.
  auto dark = [&](int x, int y) { return image.pixelColor(x, y).lightness() < 60; };
  int borderRow = 0, most = 0;
  for (int y = 0; y < image.height(); ++y) {
    int n = 0;
    for (int x = 0; x < image.width(); ++x) n += dark(x, y);
    if (n > most) most = n, borderRow = y;
  }
  int left = 0, right = image.width() - 1;
  while (left < right && !dark(left, borderRow)) ++left;
  while (right > left && !dark(right, borderRow)) --right;
  ASSERT_GT(right - left, image.width() / 2);
  auto xAt = [&](double minutes) { return left + int(minutes / 10 * (right - left)); };
  EXPECT_GT(shadedIn(image, xAt(3)), image.height() / 3);
  EXPECT_EQ(shadedIn(image, xAt(1)), 0);
  EXPECT_EQ(shadedIn(image, xAt(7)), 0);
}

TEST(ChartRenderer, ASizeOutsideTheLimitsWritesNoFile) {
  testApplication();
  QTemporaryDir dir;
  TrendStore store;
  ChartRequest request;
  request.store = &store;
  for (QSize size : {QSize(10, 10), QSize(20000, 100)}) {
    request.size = size;
    QString error;
    EXPECT_FALSE(writePng(dir.filePath("a.png"), request, &error));
    EXPECT_FALSE(writeSvg(dir.filePath("a.svg"), request, &error));
    EXPECT_TRUE(error.contains(QStringLiteral("outside"))) << error.toStdString();
  }
  EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

}  // namespace
}  // namespace calorix::testing
