// Soak: the console's link against the simulated furnace for 24 simulated
// hours (--hours N for another length), runs back to back through the link
// operations that the Пуск key and its 4 s timer use (open the work log, PID
// frames on, the Пуск key, then one PID frame and one work-log line per
// cycle, and after a quarter of an hour the stop sequence: the Пуск key, the
// register bits back, a panel read-out, the work log closed). Every other run
// is a PID-window run: its start first selects and writes its own PID
// coefficients (R14 bit 0, 0x90..0x9B) as "Задать к-ты PID" does. The exchange
// protocol is on, so it rolls over. Prints memory, open files and protocol
// roll-overs at the start and the end of the soak, and checks that every
// work-log line written is on disk.
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "core/ByteCodec.h"
#include "core/Clock.h"
#include "core/ControllerMap.h"
#include "core/Cp1251.h"
#include "core/LocalTimeZone.h"
#include "core/NumberText.h"
#include "link/Link.h"
#include "link/MemoryPort.h"
#include "plot/PuskWorkLog.h"
#include "sim/Controller.h"
#include "sim/FurnaceFirmware.h"

using namespace calorix;

namespace {

constexpr qint64 kCycleMs = 4000;
constexpr int kCyclesPerRun = 15 * 60 * 1000 / kCycleMs;

long residentKiB() {
  QFile f(QStringLiteral("/proc/self/statm"));
  if (!f.open(QIODevice::ReadOnly)) return -1;
  const QList<QByteArray> parts = f.readAll().split(' ');
  return parts.size() > 1 ? parts[1].toLong() * 4 : -1;
}

int openFiles() {
  return int(
      QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::NoDotAndDotDot | QDir::System).size());
}

struct Files {
  int count = 0;
  qint64 lines = 0;
};

Files filesUnder(const QString& dir, bool countLines) {
  Files f;
  QDirIterator it(dir, {QStringLiteral("*.txt")}, QDir::Files, QDirIterator::Subdirectories);
  while (it.hasNext()) {
    QFile file(it.next());
    ++f.count;
    if (countLines && file.open(QIODevice::ReadOnly)) f.lines += file.readAll().count('\n');
  }
  return f;
}

}  // namespace

int main(int argc, char** argv) {
  pinLocalTimeZone();
  QCoreApplication app(argc, argv);
  double hours = 24;
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], "--hours") == 0) hours = std::atof(argv[i + 1]);

  QTemporaryDir dir;
  VirtualClock clock;
  clock.setLocalStart(QDateTime(QDate(2026, 3, 5), QTime(9, 0)));
  sim::Controller controller({}, std::make_unique<sim::FurnaceFirmware>());
  {
    QFile ini(dir.filePath("ZaroZ.ini"));
    if (!ini.open(QIODevice::WriteOnly)) return 1;
    ini.write(cp1251::encode(QStringLiteral("[Dir]\r\nDirAll=") + dir.filePath("logs") +
                             QStringLiteral("\r\n[RS485]\r\nWriteRs485=Enabled\r\n")));
  }
  LinkConfig config;
  config.iniPath = dir.filePath("ZaroZ.ini");
  config.dataRoot = dir.filePath("data");
  config.clock = &clock;
  config.openPort = memoryPortOpener(controller, clock);
  Link link(std::move(config));
  link.LoadSettings();
  const QString protocolDir = link.protocolDir();
  const QString dataDir = link.dataDir();

  using namespace ctl;
  qint64 linesWritten = 0;
  int runs = 0;
  int pidWindowRuns = 0;
  bool failed = false;
  const auto readPanel = [&] {
    link.RdRam(ram::kIndication, ram::kIndicationReadBytes);
    link.RdRam(ram::kBlinkFlags, 1);
    link.RdRam(ram::kFlags, 1);
  };
  const auto oneRun = [&] {
    if (runs % 2 == 1) {
      // PK 1.5, IK 0.25, DK 2 in 16.16.
      const std::vector<std::uint8_t> coefs{0x00, 0x80, 0x01, 0x00, 0x00, 0x40,
                                            0x00, 0x00, 0x00, 0x00, 0x02, 0x00};
      link.SetRegBits(reg::kRegulator, reg::kOwnCoefs, reg::kKeepAnd);
      link.WrRam(ram::kPK, coefs);
      ++pidWindowRuns;
    }
    link.OpenDataLog();
    link.SetRegBits(reg::kRun, reg::kRunPidFrames, reg::kKeepAnd);
    link.SendPanelKey(panelKey::kPuskStop);
    link.clock().sleepMs(50);
    link.RdPidFrame();
    link.WriteDataLog(plot::pusklog::title());
    link.WriteDataLog(plot::pusklog::columns());
    linesWritten += 2;
    for (int cycle = 1; cycle <= kCyclesPerRun; ++cycle) {
      clock.advance(kCycleMs);
      link.RdPidFrame();
      link.MakeTimeStamps();
      const auto& mirror = link.RamMirror();
      link.WriteDataLog(plot::pusklog::line(
          decimalText(cycle), link.LineStamp(), decimalText(mirror[ram::kProgramNumber]),
          decimalText(mirror[ram::kStageNumber]),
          generalText(ctl::fromFraction8(ctl::le32s(&mirror[ram::kTemperature])))));
      ++linesWritten;
    }
    link.SendPanelKey(panelKey::kPuskStop);
    link.clock().sleepMs(50);
    link.SetRegBits(reg::kRun, reg::kKeepOr, std::uint8_t(~reg::kRunPidFrames));
    link.SetRegBits(reg::kRegulator, reg::kKeepOr, std::uint8_t(~reg::kNoPropDecrease));
    link.SetRegBits(reg::kRegulator, reg::kKeepOr, std::uint8_t(~reg::kOwnCoefs));
    link.clock().sleepMs(50);
    readPanel();
    link.CloseDataLog();
    if (link.status().code != 0 || !link.lastFramedAnswered()) failed = true;
    ++runs;
    // The emulator records every byte both ways for the tests; that record is
    // the bench's own, not the console's, and would be counted in its memory.
    controller.clearLogs();
  };

  const auto report = [&](const char* when) {
    const Files protocols = filesUnder(protocolDir, false);
    std::printf(
        "%-6s %7.2f h simulated: %4d runs (%d PID-window), resident %6ld KiB, open files %3d, "
        "protocol files %3d "
        "(%d roll-overs), data logs %3d\n",
        when, clock.nowMs() / 3.6e6, runs, pidWindowRuns, residentKiB(), openFiles(),
        protocols.count, protocols.count - 1, filesUnder(dataDir, false).count);
    std::fflush(stdout);
  };

  oneRun();
  report("start");
  const qint64 endMs = qint64(hours * 3.6e6);
  while (clock.nowMs() < endMs) oneRun();
  report("end");

  link.CloseProtocol();
  const Files logs = filesUnder(dataDir, true);
  std::printf("work-log lines written %lld, on disk %lld: %s; every run answered: %s\n",
              (long long)linesWritten, (long long)logs.lines,
              logs.lines == linesWritten ? "nothing lost" : "LINES LOST", failed ? "no" : "yes");
  return logs.lines == linesWritten && !failed ? 0 : 1;
}
