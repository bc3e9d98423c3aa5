#pragma once
// Data logs written the way the console writes them, for the readers' and the
// plot command's tests: through the link's data log, with the PID window's
// line builders and the stream's decoder, on the emulator's virtual clock.
#include <QDir>
#include <QFile>

#include <array>
#include <cmath>
#include <vector>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/NumberText.h"
#include "pid/PidFrameDecode.h"
#include "pid/StreamFrameDecode.h"
#include "plot/StreamLog.h"
#include "tests/support/LinkHarness.h"

namespace calorix::testing {

namespace ram = ctl::ram;

inline QByteArray fileBytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The stamp time of the clock's moment, as a log line carries it (whole seconds).
inline qint64 stampMs(const VirtualClock& clock) {
  const QDateTime now = clock.localNow();
  return QDateTime(now.date(), QTime(now.time().hour(), now.time().minute(), now.time().second()))
      .toMSecsSinceEpoch();
}

class SeparatorScope {
 public:
  explicit SeparatorScope(QChar separator) : before_(decimalSeparator()) {
    setDecimalSeparator(separator);
  }
  ~SeparatorScope() { setDecimalSeparator(before_); }

 private:
  QChar before_;
};

// A data log opened and filled through the link, as the console does.
class LogWriter {
 public:
  LogWriter() {
    QDir().mkpath(h.dataRoot());
    h.start(QStringLiteral("[Dir]\r\nDirAll=") + h.dataRoot() + QStringLiteral("/logs\r\n"));
    h.link().OpenDataLog();
  }
  // Closes the log; its path.
  QString close() {
    const QString path = h.link().dataLogPath();
    h.link().CloseDataLog();
    return path;
  }
  LinkHarness h;
};

// ---- PID run log ------------------------------------------------------------------

struct PidFrame {
  double temperature;
  double speed;  // signed
};

// Four frames of a PID-window run, logged by the window's own line builders.
inline QString writePidRunLog(LogWriter& w, std::vector<qint64>& stamps) {
  std::vector<std::uint8_t> mirror(0x180, 0);
  auto put32 = [&](ctl::Addr a, std::uint32_t v) { ctl::putLe32(&mirror[a], v); };
  put32(ram::kError, 0x0280);                                 // 2,5 ...
  mirror[ram::kSigns] = ctl::sign::kError | ctl::sign::kPUV;  // ... negative, PUV negative
  put32(ram::kPUV, 0x18000);                                  // 1,5
  put32(ram::kIUV, 0x4000);                                   // 0,25
  put32(ram::kTotalAction, 37);
  mirror[ram::kHeaterPower] = 37;
  ctl::putLe16(&mirror[ram::kSetSpeed], 5);
  pid::PrevErr prev;
  pid::TempHistory history;
  const PidFrame frames[] = {{400.5, 3}, {401.25, 2.5}, {402, -1}, {403.75, 0}};
  for (int n = 1; n <= 4; ++n) {
    const PidFrame& f = frames[n - 1];
    put32(ram::kTemperature, std::uint32_t(f.temperature * 256));
    put32(ram::kTempCorrected, std::uint32_t((f.temperature - 1) * 256));
    put32(ram::kHeatingSpeed,
          std::uint32_t(std::abs(f.speed) * 256) | (f.speed < 0 ? 0x80000000u : 0u));
    pid::FieldTexts rows = pid::decodePidCoefs(pid::RamImage(mirror));
    for (auto& row : pid::decodePidValues(pid::RamImage(mirror), prev)) rows.push_back(row);
    rows.push_back({QStringLiteral("EditNumIzm"), QString::number(n)});
    const auto fields = pid::lookupIn(rows);
    if (n == 1) {
      w.h.link().WriteDataLog(pid::runLogHeader1(fields));
      w.h.link().WriteDataLog(pid::runLogHeader2());
    }
    w.h.clock().advance(4000);
    w.h.link().MakeTimeStamps();
    stamps.push_back(stampMs(w.h.clock()));
    w.h.link().WriteDataLog(pid::pidDataLine(fields, w.h.link().LineStamp(), history));
  }
  return w.close();
}

// n frames of the stream at line rate, each decoded and logged as the stream does.
inline QString writeStreamLog(LogWriter& w, int n) {
  namespace sf = ctl::streamFrame;
  for (int i = 0; i < n; ++i) {
    std::array<std::uint8_t, sf::kBytes> frame{};
    auto at = [&](ctl::Addr a) {
      return &frame[a < sf::kRamAddress
                        ? sf::kHeaderBytes + a
                        : sf::kHeaderBytes + sf::kRegisterBytes + a - sf::kRamAddress];
    };
    ctl::putLe16(at(ram::kTemperatureWhole), std::uint16_t(400 + i));
    ctl::putLe32(at(ram::kPUV), 0x24000);  // 2,25
    ctl::putLe32(at(ram::kDUV), 0x8000);   // 0,5
    ctl::putLe32(at(ram::kIUV), 0x10000);  // 1
    ctl::putLe32(at(ram::kTotalAction), 37);
    ctl::putLe32(at(ram::kError), 640);  // 2,5 °C as the raw word
    *at(ram::kSigns) = ctl::sign::kPUV | ctl::sign::kError;
    *at(ram::kFlags) = ctl::flags::kTotalNegativeStream;
    *at(ram::kHeaterPower) = 60;
    const auto rows = pid::decodeStreamFrame(pid::StreamFrame(frame));
    w.h.clock().advance(sf::kLineRateMs);
    w.h.link().MakeTimeStamps();
    w.h.link().WriteDataLog(
        plot::streamlog::line(w.h.link().LineStamp(), pid::streamLogTexts(pid::lookupIn(rows))));
  }
  return w.close();
}

}  // namespace calorix::testing
