// A heating run through an outage of the line, in real time: the emulator
// with its furnace served on a pseudo-terminal under a fixed name (as
// calorix-sim --link serves it), the whole console on the offscreen platform
// opening that name, a Пуск run or a PID-window run started, then the
// controller pulled away (the pty closed and its name removed, as an adapter
// pulled out) for each outage and brought back under the same name. Prints
// per run and outage:
//   - from the return to the port open again and to the first frame read;
//   - the console's CPU while the line was gone (the process, the emulator
//     stopped meanwhile, and the UI thread alone), next to the UI thread's
//     while the line was up;
//   - the run's ticks that read no frame, the regulator cycles the log has
//     no frame of, frames read before and in all;
//   - the data log's lines: headers, data lines, gap lines.
// Usage: bench_outage_bench [outage seconds ...]   (default 5 30 60)
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <memory>
#include <vector>

#include "app/Startup.h"
#include "core/Cp1251.h"
#include "link/SerialPortBackend.h"
#include "link/Settings.h"
#include "pid/PidRun.h"
#include "pid/PuskRun.h"
#include "pid/TFormRabPID.h"
#include "plot/LogGap.h"
#include "plot/LogReader.h"
#include "sim/Controller.h"
#include "sim/FurnaceFirmware.h"
#include "sim/PtyServer.h"

using namespace calorix;

namespace {

// Frames read before the controller is pulled, and after the first one that
// comes back, before the run is stopped.
constexpr int kFramesBefore = 3;
constexpr int kFramesAfter = 2;
// The console without a run, before the run starts.
constexpr int kIdleMs = 5000;
// The controller's regulator cycle: a PID frame each.
constexpr double kCycleMs = 4000;
// The first part of an outage, where the loss is found and told.
constexpr int kSettleMs = 2000;
// Longest wait for anything the run does by itself.
constexpr int kPatienceMs = 30000;

class PrintedMessages : public Messages {
 public:
  void show(const QString& text) override {
    std::fprintf(stderr, "  message: %s\n", qPrintable(text));
  }
  bool askOkCancel(const QString& text) override {
    show(text);
    return true;
  }
};

double cpuMs(clockid_t which) {
  timespec t{};
  clock_gettime(which, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// CPU time of the process and of the UI thread (the whole console) over a
// stretch, in per cent of a core.
class CpuShare {
 public:
  CpuShare() { wall_.start(); }
  double process() const { return share(CLOCK_PROCESS_CPUTIME_ID, process0_); }
  double uiThread() const { return share(CLOCK_THREAD_CPUTIME_ID, thread0_); }

 private:
  double share(clockid_t which, double from) const {
    return (cpuMs(which) - from) / double(std::max<qint64>(1, wall_.elapsed())) * 100;
  }
  QElapsedTimer wall_;
  double process0_ = cpuMs(CLOCK_PROCESS_CPUTIME_ID);
  double thread0_ = cpuMs(CLOCK_THREAD_CPUTIME_ID);
};

// Lets the console run until done() holds or ms have passed; the time it took.
qint64 runUntil(const std::function<bool()>& done, int ms) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < ms) {
    QEventLoop loop;
    QTimer::singleShot(5, &loop, &QEventLoop::quit);
    loop.exec();
  }
  return t.elapsed();
}

// One event loop for the whole stretch: the bench's own polling costs nothing.
void letRun(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

enum class Kind { Pusk, PidWindow };

struct LogCount {
  int headers = 0, data = 0, gaps = 0;
};

LogCount countLog(const QString& path) {
  LogCount c;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return c;
  for (const QByteArray& line : file.readAll().split('\n')) {
    if (line.trimmed().isEmpty()) continue;
    if (plot::loggap::isGapLine(line))
      ++c.gaps;
    else if (line.trimmed().startsWith(cp1251::encode(QString::fromUtf8("Данные работы"))) ||
             line.contains(cp1251::encode(QString::fromUtf8("номер"))))
      ++c.headers;
    else
      ++c.data;
  }
  return c;
}

void runOutage(Kind kind, int outageS) {
  const char* name = kind == Kind::Pusk ? "Пуск run" : "PID-window run";
  QTemporaryDir dir;
  const QString device = dir.filePath(QStringLiteral("ttyCTL"));
  sim::Controller controller(sim::ControllerOptions{}, sim::makeFurnaceFirmware(1.0));
  sim::PtyServer server;
  QString error;
  if (!server.start(controller, device, &error)) {
    std::printf("%s, %d s: the emulator did not start: %s\n", name, outageS, qPrintable(error));
    return;
  }

  QFile iniFile(dir.filePath(QStringLiteral("ZaroZ.ini")));
  if (!iniFile.open(QIODevice::WriteOnly)) return;
  // The engineering view, unlocked: no password is asked.
  QString ini = QStringLiteral("[Vid prog]\r\nVidProg=4\r\n");
  for (int i = 0; i < 3; ++i)
    ini += QStringLiteral("CodeProg%1=%2\r\n").arg(i + 1).arg(kUnlockedCodes[std::size_t(i)]);
  iniFile.write(cp1251::encode(ini));
  iniFile.close();
  PrintedMessages messages;
  ConsoleSetup setup;
  setup.linkConfig.iniPath = iniFile.fileName();
  setup.linkConfig.dataRoot = dir.filePath(QStringLiteral("data"));
  setup.linkConfig.portDeviceOverride = device;
  setup.linkConfig.openPort = serialPortOpener();
  setup.messages = &messages;
  Console console(std::move(setup));
  TForm1& form = console.form1();
  form.show();
  letRun(200);

  PuskRun& pusk = form.parts().puskRun();
  PidRun& pid = form.parts().pidRun();
  const RunGap& gap = kind == Kind::Pusk ? pusk.gap() : pid.gap();
  const auto click = [](QWidget* w) {
    if (w) QTest::mouseClick(w, Qt::LeftButton, {}, w->rect().center());
  };
  auto* puskKey = form.findChild<QWidget*>(QStringLiteral("ShapePuskStopTop"));
  TFormRabPID& pidWindow = console.window<TFormRabPID>();
  const auto startOrStop = [&](const char* pidButton) {
    if (kind == Kind::Pusk)
      click(puskKey);
    else
      click(pidWindow.findChild<QWidget*>(QString::fromLatin1(pidButton)));
  };
  if (kind == Kind::PidWindow) pidWindow.show();
  const RunState& run = console.run();
  // The console alone, no run, the line up: what its timers cost.
  const CpuShare idle;
  letRun(kIdleMs);
  const double uiIdle = idle.uiThread();
  startOrStop("Button1");
  if (run.PidRunActive != 1) {
    std::printf("%s, %d s: the run did not start\n", name, outageS);
    return;
  }
  const CpuShare up;
  runUntil([&] { return run.WorkCounter >= kFramesBefore; }, kPatienceMs);
  const int framesBefore = run.WorkCounter;
  const double uiUp = up.uiThread();

  // Pulled away: the pty closed and its name gone.
  server.stop();
  const CpuShare gone;
  // The loss itself (found, told, the protocol broken off) against the
  // steady wait for the device after it.
  const int settleMs = std::min(kSettleMs, outageS * 1000 / 2);
  letRun(settleMs);
  const CpuShare waiting;
  letRun(outageS * 1000 - settleMs);
  const double processGone = gone.process(), uiGone = gone.uiThread();
  const double processWaiting = waiting.process();
  const int lostWhileGone = gap.ticksLost();
  const bool noticed = gap.inGap();

  // Back under the same name.
  if (!server.start(controller, device, &error)) {
    std::printf("%s, %d s: the emulator did not come back: %s\n", name, outageS, qPrintable(error));
    return;
  }
  QElapsedTimer back;
  back.start();
  // The open is seen where it happens: the run's next read may hold the UI
  // thread until the controller's next frame comes.
  qint64 openMs = -1;
  Link& link = console.link();
  const auto toldBack = link.hooks.portBack;
  link.hooks.portBack = [&](const QString& text) {
    if (openMs < 0) openMs = back.elapsed();
    if (toldBack) toldBack(text);
  };
  const qint64 frameMs =
      runUntil([&] { return !gap.inGap() && run.WorkCounter > framesBefore; }, kPatienceMs);
  link.hooks.portBack = toldBack;
  const int framesAtReturn = run.WorkCounter;
  runUntil([&] { return run.WorkCounter >= framesAtReturn + kFramesAfter; }, kPatienceMs);

  const QString logPath = console.link().dataLogPath();
  const int framesInAll = run.WorkCounter;
  startOrStop("Button3");
  runUntil([&] { return run.PidRunActive == 0; }, kPatienceMs);
  const LogCount log = countLog(logPath);
  // The regulator's cycles that brought no frame, from the log's own stamps:
  // the longest step between two samples, in cycles.
  const std::vector<plot::Sample> samples = plot::readLog(logPath).samples;
  qint64 longestStepMs = 0;
  for (std::size_t i = 1; i < samples.size(); ++i)
    longestStepMs = std::max(longestStepMs, samples[i].timeMs - samples[i - 1].timeMs);
  const long cyclesMissed = std::lround(double(longestStepMs) / kCycleMs) - 1;

  double load[1] = {0};
  getloadavg(load, 1);
  std::printf("%s, line gone %d s (machine load %.1f):\n", name, outageS, load[0]);
  std::printf(
      "  loss %s; CPU while gone: process %.2f %% of a core (UI thread %.2f %%), %.2f %% after "
      "the first %d ms; the UI thread with the line up: %.2f %% during the run (with the "
      "bench's polling), %.2f %% idle before it\n",
      noticed ? "noticed by the run" : "NOT noticed by the run", processGone, uiGone,
      processWaiting, settleMs, uiUp, uiIdle);
  std::printf(
      "  from the return: port open again after %lld ms, first frame read after %lld ms%s\n",
      static_cast<long long>(openMs), static_cast<long long>(frameMs),
      frameMs >= kPatienceMs ? " (none came)" : "");
  std::printf(
      "  ticks that read no frame %d (while gone %d, one a second while the port is lost); "
      "regulator cycles without a frame in the log %ld; frames read: %d before, %d in all\n",
      gap.ticksLost(), lostWhileGone, cyclesMissed, framesBefore, framesInAll);
  std::printf("  data log: %d header, %d data and %d gap lines\n", log.headers, log.data, log.gaps);
  form.close();
  server.stop();
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  app.setQuitOnLastWindowClosed(false);
  std::vector<int> outages;
  for (int i = 1; i < argc; ++i) outages.push_back(std::max(1, std::atoi(argv[i])));
  if (outages.empty()) outages = {5, 30, 60};
  for (Kind kind : {Kind::Pusk, Kind::PidWindow})
    for (int s : outages) runOutage(kind, s);
  return 0;
}
