// The trend window with a long run behind it, on the offscreen platform:
//   - a 24-hour PID run (21,600 frames, one every 4 s);
//   - one hour of the telemetry stream at line rate (144,000 frames, 25 ms);
//   - a day of the stream at line rate (3,456,000 frames), every curve on.
// For each it prints the memory the samples take, the host time of one new
// frame until the chart is redrawn and painted (following the last 10
// minutes, and with the whole run shown; target 16 ms at the 95th
// percentile), and of a zoom to the full range (target 50 ms).
// Then a day of the stream's log opened with "Открыть журнал...": the time the
// open takes, and a zoom to its full range.
// Usage: bench_trend_window_bench [additions [picture.png]]   (default 200)
//   picture.png: the window showing the opened day, to look at (the platform
//   is offscreen unless QT_QPA_PLATFORM says otherwise).
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <vector>

#include "bench/stream_day_log.h"
#include "core/Clock.h"
#include "link/Link.h"
#include "trend/TFormGrafik.h"

using namespace calorix;

namespace {

class PrintedMessages : public Messages {
 public:
  void show(const QString& text) override {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
  }
  bool askOkCancel(const QString& text) override {
    show(text);
    return true;
  }
};

// A furnace-like sample: every quantity its source carries present, the stage changing hourly;
// each value in the controller's own steps (1/256 °C, 1/65536 of an action,
// whole per cent), as the frames carry them.
plot::Sample sampleAt(qint64 startMs, qint64 i, qint64 periodMs, plot::Source source) {
  using plot::Quantity;
  const auto degrees = [](double v) { return std::round(v * 256) / 256; };
  const auto action = [](double v) { return std::round(v * 65536) / 65536; };
  plot::Sample s;
  s.timeMs = startMs + i * periodMs;
  s.source = source;
  const double t = double(i * periodMs) / 1000.0;
  const double set = std::round(200 + 600 * (0.5 + 0.5 * std::sin(t / 7200)));
  const double temperature = degrees(set - 5 + 3 * std::sin(t / 30));
  s.set(Quantity::Temperature, temperature);
  s.set(Quantity::TempCorrected, temperature - 0.5);
  s.set(Quantity::SetTemperature, set);
  s.set(Quantity::HeaterPower, std::round(50 + 40 * std::sin(t / 50)));
  s.set(Quantity::PAction, action(10 * std::sin(t / 40)));
  s.set(Quantity::IAction, action(30 + 5 * std::sin(t / 400)));
  s.set(Quantity::DAction, action(std::sin(t / 9)));
  s.set(Quantity::TotalAction, std::round(45 + 30 * std::sin(t / 45)));
  // The telemetry frame carries no heating speed; the PID frames do.
  if (source != plot::Source::Stream) s.set(Quantity::HeatingSpeed, degrees(10 * std::cos(t / 60)));
  s.set(Quantity::SetSpeed, 10);
  s.set(Quantity::Error, set - temperature);
  s.program = 1;
  s.stage = 1 + int(t / 3600) % 15;
  return s;
}

double cpuNowMs() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return double(t.tv_sec) * 1e3 + double(t.tv_nsec) / 1e6;
}

double percentile(std::vector<double> v, double share) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  return v[std::min(v.size() - 1, std::size_t(share * double(v.size())))];
}

void run(const char* name, qint64 frames, qint64 periodMs, plot::Source source, int additions,
         bool everyCurve, WindowContext& ctx) {
  TFormGrafik window(ctx, GrafikHooks{});
  window.resize(1500, 900);
  // Every curve on: the most a redraw has to do; else the three the window opens with.
  if (everyCurve)
    for (QCheckBox* box : window.findChildren<QCheckBox*>())
      if (box->objectName().startsWith(QLatin1String("CheckBox_"))) box->setChecked(true);
  const qint64 startMs = QDateTime(QDate(2026, 3, 5), QTime(6, 0)).toMSecsSinceEpoch();

  QElapsedTimer fill;
  fill.start();
  for (qint64 i = 0; i < frames; ++i) window.frame(sampleAt(startMs, i, periodMs, source));
  const double fillMs = double(fill.nsecsElapsed()) / 1e6;
  window.show();
  QApplication::processEvents();

  // The time of the whole addition; paintMs gets the share of painting, cpuMs the processor time
  // the program spent on it (on a machine shared with other work the wall time waits for it).
  std::vector<double> paintMs, cpuMs;
  const auto timeAdditions = [&](qint64 from) {
    std::vector<double> ms;
    paintMs.clear();
    cpuMs.clear();
    for (int k = 0; k < additions; ++k) {
      QElapsedTimer t;
      t.start();
      const double cpu0 = cpuNowMs();
      window.frame(sampleAt(startMs, from + k, periodMs, source));
      window.drawPendingNow();
      const qint64 drawn = t.nsecsElapsed();
      window.repaint();
      ms.push_back(double(t.nsecsElapsed()) / 1e6);
      paintMs.push_back(double(t.nsecsElapsed() - drawn) / 1e6);
      cpuMs.push_back(cpuNowMs() - cpu0);
    }
    return ms;
  };
  const std::vector<double> follow = timeAdditions(frames);
  const std::vector<double> followPaint = paintMs, followCpu = cpuMs;

  auto* all = window.findChild<QPushButton*>(QStringLiteral("ButtonAll"));
  std::vector<double> zoom, zoomCpu;
  for (int k = 0; k < 20; ++k) {
    window.findChild<QCheckBox*>(QStringLiteral("CheckBoxSledit"))->setChecked(true);
    QElapsedTimer t;
    t.start();
    const double cpu0 = cpuNowMs();
    all->click();
    window.repaint();
    zoom.push_back(double(t.nsecsElapsed()) / 1e6);
    zoomCpu.push_back(cpuNowMs() - cpu0);
  }
  const std::vector<double> whole = timeAdditions(frames + additions);
  const std::vector<double> wholePaint = paintMs, wholeCpu = cpuMs;

  const std::size_t count = window.liveStore().size();
  std::printf("== %s: %zu frames, %s\n", name, count,
              everyCurve ? "all 11 curves" : "the 3 curves shown at first");
  const std::size_t bytes = window.liveStore().bytesUsed();
  std::printf("  samples in memory:            %.1f MiB (%.1f bytes a sample)\n",
              double(bytes) / (1024.0 * 1024.0), double(bytes) / double(count));
  std::printf("  appending them all (hidden):  %.1f ms\n", fillMs);
  std::printf(
      "  new frame, following 10 min:  median %.2f ms (painting %.2f), 95%% %.2f ms, max %.2f ms\n",
      percentile(follow, 0.5), percentile(followPaint, 0.5), percentile(follow, 0.95),
      percentile(follow, 1.0));
  std::printf("    processor time:             median %.2f ms, 95%% %.2f ms\n",
              percentile(followCpu, 0.5), percentile(followCpu, 0.95));
  std::printf(
      "  new frame, whole run shown:   median %.2f ms (painting %.2f), 95%% %.2f ms, max %.2f ms\n",
      percentile(whole, 0.5), percentile(wholePaint, 0.5), percentile(whole, 0.95),
      percentile(whole, 1.0));
  std::printf("    processor time:             median %.2f ms, 95%% %.2f ms\n",
              percentile(wholeCpu, 0.5), percentile(wholeCpu, 0.95));
  std::printf("  zoom to the full range:       median %.2f ms, 95%% %.2f ms, max %.2f ms\n",
              percentile(zoom, 0.5), percentile(zoom, 0.95), percentile(zoom, 1.0));
  std::printf("    processor time:             median %.2f ms, 95%% %.2f ms\n",
              percentile(zoomCpu, 0.5), percentile(zoomCpu, 0.95));
  std::printf("  series points drawn:          %lld for the temperature (plot %d px wide)\n",
              (long long)window.chart().curve(plot::Quantity::Temperature).size(),
              int(window.chart().plotArea().width()));
}

void openDayLog(WindowContext& ctx, const QString& picture) {
  QTemporaryDir dir;
  const QString log = bench::writeStreamDayLog(dir.path(), 24LL * 3600 * 1000 / 25);
  TFormGrafik window(ctx, GrafikHooks{});
  window.resize(1500, 900);
  for (QCheckBox* box : window.findChildren<QCheckBox*>())
    if (box->objectName().startsWith(QLatin1String("CheckBox_"))) box->setChecked(true);
  window.show();
  QApplication::processEvents();
  window.setFileChooser([&log](QWidget*, const TFormGrafik::FileQuestion&) { return log; });
  QElapsedTimer t;
  t.start();
  const double cpu0 = cpuNowMs();
  window.findChild<QPushButton*>(QStringLiteral("ButtonOpenLog"))->click();
  window.repaint();
  const double openMs = double(t.nsecsElapsed()) / 1e6, openCpu = cpuNowMs() - cpu0;
  std::vector<double> zoom, zoomCpu;
  auto* all = window.findChild<QPushButton*>(QStringLiteral("ButtonAll"));
  for (int k = 0; k < 20; ++k) {
    window.findChild<QCheckBox*>(QStringLiteral("CheckBoxSledit"))->setChecked(true);
    t.restart();
    const double c0 = cpuNowMs();
    all->click();
    window.repaint();
    zoom.push_back(double(t.nsecsElapsed()) / 1e6);
    zoomCpu.push_back(cpuNowMs() - c0);
  }
  std::printf("== a day of the stream's log (%.0f MiB) opened, all 11 curves: %zu samples\n",
              double(QFileInfo(log).size()) / 1048576.0, window.shownStore().size());
  std::printf("  opening it:                   %.0f ms (processor %.0f ms)\n", openMs, openCpu);
  std::printf(
      "  zoom to the full range:       median %.2f ms, 95%% %.2f ms (processor %.2f, %.2f)\n",
      percentile(zoom, 0.5), percentile(zoom, 0.95), percentile(zoomCpu, 0.5),
      percentile(zoomCpu, 0.95));
  if (!picture.isEmpty()) window.grab().save(picture);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  const int additions = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

  QTemporaryDir dir;
  VirtualClock clock;
  LinkConfig config;
  config.iniPath = dir.filePath(QStringLiteral("ZaroZ.ini"));
  config.dataRoot = dir.path();
  config.clock = &clock;
  Link link(config);
  PrintedMessages messages;
  RunState runState;
  WindowContext ctx{link, messages, runState, {}, {}};

  for (bool everyCurve : {false, true}) {
    run("24-hour PID run", 24 * 3600 / 4, 4000, plot::Source::PidRun, additions, everyCurve, ctx);
    run("one hour of the stream at line rate", 3600 * 1000 / 25, 25, plot::Source::Stream,
        additions, everyCurve, ctx);
  }
  run("a day of the stream at line rate", 24 * 3600 * 1000 / 25, 25, plot::Source::Stream,
      additions, true, ctx);
  openDayLog(ctx, argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString());
  return 0;
}
