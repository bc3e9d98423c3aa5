// A day of the telemetry stream at line rate (3,456,000 frames, 40 a second)
// as its log, its lines made by the stream's own decoder and line builder,
// then `calorix-cli plot LOG --png PNG --csv CSV` run as a user runs it: its
// wall time and peak memory (targets: 30 s and 256 MiB).
// Usage: bench_trend_day_bench [frames [calorix-cli]]
//   (default a day, and the calorix-cli built beside this program)
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>

#include "bench/stream_day_log.h"

using namespace calorix;

namespace {

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
  const QString log = bench::writeStreamDayLog(dir.path(), frames);
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
