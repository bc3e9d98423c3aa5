// A day of the telemetry stream at line rate (3,456,000 frames, 40 a second)
// as its log, its lines made by the stream's own decoder and line builder,
// then `calorix-cli plot LOG --png PNG --csv CSV` run as a user runs it: its
// wall time and peak memory (targets: 30 s and 256 MiB).
// Usage: bench_trend_day_bench [frames [calorix-cli]]
//   (default a day, and the calorix-cli built beside this program)
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <array>
#include <cstdio>
#include <vector>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/Cp1251.h"
#include "pid/StreamFrameDecode.h"
#include "plot/StreamLog.h"

using namespace calorix;

namespace {

namespace sf = ctl::streamFrame;
namespace ram = ctl::ram;

// The value texts of a few thousand frames of a furnace heating up, as the
// main window shows them; the day cycles through them.
std::vector<plot::streamlog::Values> frameTexts(int count) {
  std::vector<plot::streamlog::Values> out;
  for (int i = 0; i < count; ++i) {
    std::array<std::uint8_t, sf::kBytes> frame{};
    auto at = [&](ctl::Addr a) {
      return &frame[a < sf::kRamAddress
                        ? sf::kHeaderBytes + a
                        : sf::kHeaderBytes + sf::kRegisterBytes + a - sf::kRamAddress];
    };
    ctl::putLe16(at(ram::kTemperatureWhole), std::uint16_t(20 + i % 900));
    ctl::putLe32(at(ram::kPUV), std::uint32_t(0x24000 + 977 * i));
    ctl::putLe32(at(ram::kDUV), std::uint32_t(0x8000 + 313 * i));
    ctl::putLe32(at(ram::kIUV), std::uint32_t(0x10000 + 131 * i));
    ctl::putLe32(at(ram::kTotalAction), std::uint32_t(i % 250));
    ctl::putLe32(at(ram::kError), std::uint32_t(640 + 37 * (i % 97)));
    ctl::putLe32(at(ram::kErrorSum), std::uint32_t(100'000 + 7 * i));
    *at(ram::kSigns) =
        std::uint8_t((i % 3 ? ctl::sign::kPUV : 0) | (i % 5 ? 0 : ctl::sign::kError));
    *at(ram::kHeaterPower) = std::uint8_t(i % 101);
    out.push_back(
        pid::streamLogTexts(pid::lookupIn(pid::decodeStreamFrame(pid::StreamFrame(frame)))));
  }
  return out;
}

QString stamp(qint64 ms) {
  const qint64 s = ms / 1000;
  return QString::asprintf("%02lld:%02lld:%02lld ", s / 3600 % 24, s / 60 % 60, s % 60);
}

double loadAverage() {
  QFile f(QStringLiteral("/proc/loadavg"));
  return f.open(QIODevice::ReadOnly) ? f.readAll().split(' ').value(0).toDouble() : -1;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const qint64 frames = argc > 1 ? std::max(1LL, std::atoll(argv[1])) : 24LL * 3600 * 40;
  const QString cli = argc > 2
                          ? QString::fromLocal8Bit(argv[2])
                          : QCoreApplication::applicationDirPath() + QStringLiteral("/calorix-cli");

  QTemporaryDir dir;
  QDir().mkpath(dir.filePath(QStringLiteral("2026/03/05")));
  const QString log = dir.filePath(QStringLiteral("2026/03/05/00_00_00 Data.txt"));
  {
    const std::vector<plot::streamlog::Values> texts = frameTexts(4096);
    QFile file(log);
    if (!file.open(QIODevice::WriteOnly)) return 1;
    QByteArray buffer;
    for (qint64 i = 0; i < frames; ++i) {
      buffer += cp1251::encode(
          plot::streamlog::line(stamp(i * sf::kLineRateMs), texts[std::size_t(i % 4096)]));
      buffer += "\r\n";
      if (buffer.size() > (1 << 20)) {
        file.write(buffer);
        buffer.clear();
      }
    }
    file.write(buffer);
  }
  std::printf("== calorix-cli plot of %lld stream frames: a %.0f MiB log (load average %.2f)\n",
              frames, double(QFileInfo(log).size()) / 1048576.0, loadAverage());

  const QString png = dir.filePath(QStringLiteral("day.png"));
  const QString csv = dir.filePath(QStringLiteral("day.csv"));
  QProcess process;
  process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  QElapsedTimer wall;
  wall.start();
  process.start(cli, {QStringLiteral("plot"), log, QStringLiteral("--png"), png,
                      QStringLiteral("--csv"), csv});
  if (!process.waitForFinished(-1) || process.exitCode() != 0) {
    std::fprintf(stderr, "%s failed: %s\n", qPrintable(cli), qPrintable(process.errorString()));
    return 1;
  }
  const double seconds = double(wall.elapsed()) / 1000.0;
  rusage usage{};
  getrusage(RUSAGE_CHILDREN, &usage);
  std::printf("  %s", process.readAllStandardOutput().constData());
  std::printf("  wall time: %.1f s (target <= 30)\n", seconds);
  std::printf("  peak memory: %.0f MiB (target <= 256)\n", double(usage.ru_maxrss) / 1024.0);
  std::printf("  wrote a %.0f MiB CSV and a %.0f KiB PNG (load average %.2f)\n",
              double(QFileInfo(csv).size()) / 1048576.0, double(QFileInfo(png).size()) / 1024.0,
              loadAverage());
  return 0;
}
