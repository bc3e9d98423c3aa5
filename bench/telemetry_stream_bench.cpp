// The console's P/B telemetry stream at line rate (one 262-byte frame every
// 25 ms) against the built-in simulator over a real pseudo-terminal, as
// `calorix --simulate --telemetry-ms 25` runs it: the whole console on the
// offscreen platform, Button7 then P/B, ВЫКЛ НАГРЕВ after the given time.
// Run twice, with the exchange trace on and off. Prints:
//   - frames sent by the emulator, received, shown and logged (lines in the
//     data log), and how many were lost;
//   - host time per frame of each step of the stream (waiting for the header,
//     the block reads, decoding, showing, logging) next to the frame's 25 ms
//     on the wire, and the UI thread's CPU time per frame;
//   - the longest delay of an event posted to the UI thread during the stream.
// Usage: bench_telemetry_stream_bench [seconds]   (default 60)
#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <numeric>
#include <thread>
#include <vector>

#include "app/Startup.h"
#include "core/ControllerMap.h"
#include "core/Cp1251.h"
#include "link/SerialPortBackend.h"
#include "link/Settings.h"
#include "pid/TelemetryStream.h"
#include "sim/PtyServer.h"

using namespace calorix;
using Steady = std::chrono::steady_clock;

namespace {

namespace sf = ctl::streamFrame;

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

// An event stamped when it was posted; the receiver notes how long it waited.
class StampedEvent : public QEvent {
 public:
  static inline const QEvent::Type kType = QEvent::Type(QEvent::registerEventType());
  explicit StampedEvent(Steady::time_point at) : QEvent(kType), postedAt(at) {}
  Steady::time_point postedAt;
};

class DelayProbe : public QObject {
 public:
  bool event(QEvent* e) override {
    if (e->type() != StampedEvent::kType) return QObject::event(e);
    const double ms = std::chrono::duration<double, std::milli>(
                          Steady::now() - static_cast<StampedEvent*>(e)->postedAt)
                          .count();
    if (measuring) delaysMs.push_back(ms);
    return true;
  }
  // The delay below which the given share of the events were handled.
  double percentile(double share) {
    if (delaysMs.empty()) return 0;
    std::sort(delaysMs.begin(), delaysMs.end());
    return delaysMs[std::min(delaysMs.size() - 1, std::size_t(share * double(delaysMs.size())))];
  }
  bool measuring = false;
  std::vector<double> delaysMs;
};

double threadCpuMs() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int linesIn(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return -1;
  return int(file.readAll().count("\r\n"));
}

void runOnce(bool trace, double seconds) {
  const char* name = trace ? "trace on" : "trace off";
  sim::SimulatorOptions options;
  options.telemetryPeriodMs = sf::kLineRateMs;
  QString error;
  auto simulator = sim::startInProcessSimulator(options, &error);
  if (!simulator) {
    std::printf("%s: the simulator did not start: %s\n", name, qPrintable(error));
    return;
  }

  QTemporaryDir dir;
  QString ini = QStringLiteral("[Vid prog]\r\nVidProg=4\r\n");
  for (int i = 0; i < 3; ++i)
    ini += QStringLiteral("CodeProg%1=%2\r\n").arg(i + 1).arg(kUnlockedCodes[std::size_t(i)]);
  ini += QStringLiteral("[RS485]\r\nWriteRs485=%1\r\n")
             .arg(trace ? QStringLiteral("Enabled") : QStringLiteral("Disabled"));
  QFile iniFile(dir.filePath(QStringLiteral("ZaroZ.ini")));
  if (!iniFile.open(QIODevice::WriteOnly)) return;
  iniFile.write(cp1251::encode(ini));
  iniFile.close();

  PrintedMessages messages;
  ConsoleSetup setup;
  setup.linkConfig.iniPath = iniFile.fileName();
  setup.linkConfig.dataRoot = dir.filePath(QStringLiteral("data"));
  setup.linkConfig.portDeviceOverride = simulator->slavePath();
  setup.linkConfig.openPort = serialPortOpener();
  setup.messages = &messages;
  Console console(std::move(setup));
  TForm1& form = console.form1();
  form.show();
  QCoreApplication::processEvents();
  auto* ramOut = form.findChild<QWidget*>(QStringLiteral("Button7"));
  auto* pb = form.findChild<QWidget*>(QStringLiteral("Button6"));
  auto* stop = form.findChild<QWidget*>(QStringLiteral("Button11"));
  QTest::mouseRelease(ramOut, Qt::LeftButton);
  if (console.run().RamOutEnabled != 1) {
    std::printf("%s: the RAM output did not switch on\n", name);
    return;
  }
  simulator->server().inspect([](sim::Controller& c) { c.clearLogs(); });

  DelayProbe probe;
  std::atomic<bool> posting{true};
  std::thread poster([&] {
    while (posting) {
      QCoreApplication::postEvent(&probe, new StampedEvent(Steady::now()));
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  QTimer::singleShot(int(seconds * 1000), stop,
                     [stop] { QTest::mouseClick(stop, Qt::LeftButton); });

  probe.measuring = true;
  const double cpu0 = threadCpuMs();
  const auto t0 = Steady::now();
  QTest::mouseRelease(pb, Qt::LeftButton);  // returns when the stream has ended
  const double wallS = std::chrono::duration<double>(Steady::now() - t0).count();
  const double cpuMs = threadCpuMs() - cpu0;
  probe.measuring = false;
  posting = false;
  poster.join();
  QCoreApplication::removePostedEvents(&probe);

  std::size_t sentBytes = 0;
  simulator->server().inspect([&](sim::Controller& c) { sentBytes = c.sent().size(); });
  // What the emulator sent besides frames: the echoes of the two key codes.
  const std::size_t frameBytes = sentBytes >= 2 ? sentBytes - 2 : 0;
  const TelemetryStream::Figures& f = form.parts().telemetry().figures();
  const int logged = linesIn(console.link().dataLogPath());
  const auto sent = long(frameBytes / sf::kBytes);
  const int shown = form.findChild<QLineEdit*>(QStringLiteral("Edit_NumIzm"))->text().toInt();

  double load[1] = {0};
  getloadavg(load, 1);
  std::printf("%s: %.1f s streamed at %d ms a frame (machine load %.1f)\n", name, wallS,
              sf::kLineRateMs, load[0]);
  std::printf(
      "  frames: sent %ld (%zu bytes over), received %d, shown %d (Edit_NumIzm %d), "
      "logged %d (data log lines %d), lost %ld\n",
      sent, frameBytes % sf::kBytes, f.framesRead, f.framesShown, shown, f.framesLogged, logged,
      sent - long(logged));
  const double n = std::max(1, f.framesRead);
  const double wire = double(sf::kLineRateMs) * 1000;  // us
  auto us = [n](qint64 ns) { return ns / 1000.0 / n; };
  const double work = us(f.readNs) + us(f.decodeNs) + us(f.showNs) + us(f.logNs);
  std::printf(
      "  host time per frame: waiting for the header %.2f ms; block reads %.1f us, decode "
      "%.1f us, show %.1f us, log %.1f us: %.1f us of work = %.2f %% of the %d ms on the wire\n",
      us(f.waitNs) / 1000, us(f.readNs), us(f.decodeNs), us(f.showNs), us(f.logNs), work,
      100 * work / wire, sf::kLineRateMs);
  std::printf("  UI thread CPU per frame: %.1f us (%.2f %% of the wire time)\n", cpuMs * 1000 / n,
              100 * cpuMs * 1000 / n / wire);
  const auto over50 = std::count_if(probe.delaysMs.begin(), probe.delaysMs.end(),
                                    [](double ms) { return ms > 50; });
  const double mean = probe.delaysMs.empty()
                          ? 0.0
                          : std::accumulate(probe.delaysMs.begin(), probe.delaysMs.end(), 0.0) /
                                double(probe.delaysMs.size());
  std::printf(
      "  posted UI events (one a millisecond): %zu handled, mean delay %.2f ms, 99 %% within "
      "%.1f ms, 99.9 %% within %.1f ms, longest %.1f ms, %ld over 50 ms\n",
      probe.delaysMs.size(), mean, probe.percentile(0.99), probe.percentile(0.999),
      probe.percentile(1.0), long(over50));
  form.close();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  const double seconds = argc > 1 ? std::max(1.0, std::atof(argv[1])) : 60.0;
  for (bool trace : {true, false}) runOnce(trace, seconds);
  return 0;
}
