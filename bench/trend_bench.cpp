// The trend's library at the sizes a furnace gives it:
//   - a 24-hour PID run: 21,600 samples at 4 s;
//   - one hour of the telemetry stream at line rate: 144,000 samples at 25 ms;
//   - a day of the stream at line rate: 3,456,000 samples.
// For each: the store's memory a sample (target at most 48 bytes); appending
// a sample and making the view of a 1600-column window (the live redraw,
// target under 16 ms); the view of the full range; the headless PNG render;
// the CSV. Then parsing a 24-hour run log written by the PID window's own
// line builders (target under 1 s). Figures only: no assertion on time.
#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/Cp1251.h"
#include "pid/PidFrameDecode.h"
#include "plot/ChartRenderer.h"
#include "plot/CsvExport.h"
#include "plot/LogReader.h"
#include "plot/TrendStore.h"

using namespace calorix;
using namespace calorix::plot;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kColumns = 1600;
constexpr qint64 kStart = 1'772'700'000'000;

double msSince(Steady::time_point t0) {
  return std::chrono::duration<double, std::milli>(Steady::now() - t0).count();
}

// The median of runs of f, in ms.
double medianMs(int runs, const std::function<void()>& f) {
  std::vector<double> times;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Steady::now();
    f();
    times.push_back(msSince(t0));
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

// A run that heats to 900 °C and holds, with every quantity a PID frame carries, each in the
// controller's own steps (1/256 °C, 1/65536 of an action, whole per cent).
Sample runSample(int i, qint64 periodMs, bool stream) {
  const auto degrees = [](double v) { return std::round(v * 256) / 256; };
  const auto action = [](double v) { return std::round(v * 65536) / 65536; };
  Sample s;
  s.timeMs = kStart + i * periodMs;
  const double minutes = double(i) * double(periodMs) / 60'000.0;
  const double t = degrees(std::min(20 + 5 * minutes, 900.0) + std::sin(i * 0.01));
  s.set(Quantity::Temperature, t);
  s.set(Quantity::HeaterPower, std::fmod(i * 7.0, 100));
  s.set(Quantity::PAction, action(std::sin(i * 0.003) * 50));
  s.set(Quantity::IAction, action(std::cos(i * 0.002) * 30));
  s.set(Quantity::DAction, action(std::sin(i * 0.05) * 5));
  s.set(Quantity::TotalAction, std::fmod(i * 3.0, 250));
  s.set(Quantity::Error, degrees(std::sin(i * 0.01) * 3));
  if (!stream) {
    s.set(Quantity::TempCorrected, t - 1);
    s.set(Quantity::HeatingSpeed, degrees(5 + std::sin(i * 0.02)));
    s.set(Quantity::SetSpeed, 5);
    s.program = 2;
    s.stage = 1 + int(minutes / 180);
  }
  return s;
}

std::vector<Quantity> withValues(const TrendStore& store) {
  std::vector<Quantity> qs;
  for (const QuantityInfo& q : kQuantities)
    if (store.carries(q.quantity)) qs.push_back(q.quantity);
  return qs;
}

void measure(const char* name, int count, qint64 periodMs, bool stream) {
  TrendStore store;
  const auto fillStart = Steady::now();
  for (int i = 0; i < count; ++i) store.append(runSample(i, periodMs, stream));
  const double fillMs = msSince(fillStart);
  const auto curves = withValues(store);
  const std::size_t bytes = store.bytesUsed();
  std::printf("== %s: %d samples, %zu curves\n", name, count, curves.size());
  std::printf("  memory of the store: %.1f MiB, %.1f bytes a sample (target <= 48; was %zu)\n",
              double(bytes) / 1048576.0, double(bytes) / count, sizeof(Sample));
  std::printf("  appending them all: %.0f ms\n", fillMs);

  int next = count;
  auto appendAndView = [&](qint64 windowMs) {
    store.append(runSample(next++, periodMs, stream));
    const qint64 to = store.lastMs(), from = windowMs ? to - windowMs : store.firstMs();
    std::size_t points = 0;
    for (Quantity q : curves) points += store.view(q, from, to, kColumns).size();
    if (points == 0) std::printf("  (no points)\n");
  };
  std::printf("  append + view, last hour, %d columns: %.2f ms (target < 16)\n", kColumns,
              medianMs(31, [&] { appendAndView(3'600'000); }));
  std::printf("  append + view, whole run, %d columns: %.2f ms (target < 16)\n", kColumns,
              medianMs(31, [&] { appendAndView(0); }));
  std::printf("  view of the full range, all curves: %.2f ms (target < 100)\n", medianMs(11, [&] {
                for (Quantity q : curves) store.view(q, store.firstMs(), store.lastMs(), kColumns);
              }));

  ChartRequest request;
  request.store = &store;
  request.size = QSize(kColumns, 900);
  request.title = QString::fromLatin1(name);
  QImage image(request.size, QImage::Format_ARGB32_Premultiplied);
  std::printf("  headless render %dx%d: %.1f ms\n", request.size.width(), request.size.height(),
              medianMs(5, [&] {
                QPainter painter(&image);
                renderChart(painter, request);
              }));
  QByteArray png;
  std::printf("  PNG encoding: %.1f ms\n", medianMs(3, [&] {
                QBuffer buffer(&png);
                buffer.open(QIODevice::WriteOnly);
                image.save(&buffer, "PNG");
              }));
  QTemporaryDir dir;
  const QString csvPath = dir.filePath(QStringLiteral("all.csv"));
  const double csvMs = medianMs(1, [&] { writeCsv(csvPath, store, 0, 0, {}, nullptr); });
  std::printf("  CSV of every sample, written: %.0f ms, %.1f MiB\n", csvMs,
              double(QFileInfo(csvPath).size()) / 1048576.0);
}

// A 24-hour run log as the PID window writes it: its header lines, then one
// line a frame from the window's own builders.
QByteArray dayRunLog() {
  namespace ram = ctl::ram;
  std::vector<std::uint8_t> mirror(0x180, 0);
  ctl::putLe32(&mirror[ram::kPK], 0x18000);
  pid::PrevErr prev;
  pid::TempHistory history;
  QStringList lines;
  for (int n = 1; n <= 21'600; ++n) {
    const Sample s = runSample(n, 4000, false);
    ctl::putLe32(&mirror[ram::kTemperature], std::uint32_t(s.value(Quantity::Temperature) * 256));
    ctl::putLe32(&mirror[ram::kError], std::uint32_t(std::abs(s.value(Quantity::Error)) * 256));
    ctl::putLe32(&mirror[ram::kPUV], std::uint32_t(std::abs(s.value(Quantity::PAction)) * 65536));
    mirror[ram::kHeaterPower] = std::uint8_t(s.value(Quantity::HeaterPower));
    pid::FieldTexts rows = pid::decodePidCoefs(pid::RamImage(mirror));
    for (auto& row : pid::decodePidValues(pid::RamImage(mirror), prev)) rows.push_back(row);
    rows.push_back({QStringLiteral("EditNumIzm"), QString::number(n)});
    const auto fields = pid::lookupIn(rows);
    if (n == 1) lines << pid::runLogHeader1(fields) << pid::runLogHeader2();
    const QTime at = QTime(0, 0).addSecs(n * 4);
    lines << pid::pidDataLine(fields, at.toString(QStringLiteral("HH:mm:ss ")), history);
  }
  return cp1251::encode(lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n"));
}

}  // namespace

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  measure("24-hour PID run at 4 s", 21'600, 4000, false);
  measure("one hour of the stream at 25 ms", 144'000, ctl::streamFrame::kLineRateMs, true);
  measure("a day of the stream at 25 ms", 3'456'000, ctl::streamFrame::kLineRateMs, true);

  const QByteArray log = dayRunLog();
  LogReadResult read;
  const double parseMs = medianMs(5, [&] { read = parseLog(log, QDate(2026, 3, 5)); });
  std::printf(
      "== parsing a 24-hour run log (%.1f MiB, %zu samples, %d skipped): %.0f ms "
      "(target < 1000)\n",
      double(log.size()) / 1048576.0, read.samples.size(), read.skippedLines, parseMs);
  return 0;
}
