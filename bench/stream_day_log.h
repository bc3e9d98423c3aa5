#pragma once
// A day of the telemetry stream at line rate as its log, for the benches: the
// lines made by the stream's own decoder and line builder from a few thousand
// frames of a furnace heating up, the day cycling through them, 25 ms apart.
#include <QDir>
#include <QFile>
#include <QString>

#include <array>
#include <vector>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/Cp1251.h"
#include "pid/StreamFrameDecode.h"
#include "plot/StreamLog.h"

namespace calorix::bench {

// The value texts of count frames as the main window shows them.
inline std::vector<plot::streamlog::Values> streamFrameTexts(int count) {
  namespace sf = ctl::streamFrame;
  namespace ram = ctl::ram;
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

// frames lines from midnight into dir/2026/03/05/00_00_00 Data.txt; its path.
inline QString writeStreamDayLog(const QString& dir, qint64 frames) {
  QDir().mkpath(dir + QStringLiteral("/2026/03/05"));
  const QString path = dir + QStringLiteral("/2026/03/05/00_00_00 Data.txt");
  const std::vector<plot::streamlog::Values> texts = streamFrameTexts(4096);
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return QString();
  QByteArray buffer;
  for (qint64 i = 0; i < frames; ++i) {
    const qint64 s = i * ctl::streamFrame::kLineRateMs / 1000;
    const QString stamp =
        QString::asprintf("%02lld:%02lld:%02lld ", s / 3600 % 24, s / 60 % 60, s % 60);
    buffer += cp1251::encode(plot::streamlog::line(stamp, texts[std::size_t(i % 4096)]));
    buffer += "\r\n";
    if (buffer.size() > (1 << 20)) {
      file.write(buffer);
      buffer.clear();
    }
  }
  file.write(buffer);
  return path;
}

}  // namespace calorix::bench
