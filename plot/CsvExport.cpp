#include "plot/CsvExport.h"

#include <QBuffer>
#include <QDateTime>
#include <QSaveFile>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace calorix::plot {

namespace {

constexpr qint64 kDayMs = 86'400'000;
constexpr qint64 kQuarterHourMs = 900'000;
constexpr qint64 kUnixEpochJulianDay = 2440588;

qint64 floorDiv(qint64 a, qint64 b) {
  return a / b - (a % b != 0 && (a < 0) != (b < 0));
}

// Local ISO 8601 stamps for many rows: the zone's offset is looked up once a quarter hour (zones
// change it only at such boundaries), the text is made by hand, and all but the milliseconds kept
// for the rows of the same second (forty of the stream's); a zone lookup and a formatted
// QDateTime a row made an hour of the stream take seconds to export.
class IsoStamper {
 public:
  void append(QByteArray& out, qint64 ms) {
    if (const qint64 quarter = floorDiv(ms, kQuarterHourMs); quarter != quarter_) {
      quarter_ = quarter;
      offsetS_ = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
      second_ = std::numeric_limits<qint64>::min();
    }
    const qint64 local = ms + qint64(offsetS_) * 1000;
    if (const qint64 second = floorDiv(local, 1000); second != second_) {
      second_ = second;
      const qint64 day = floorDiv(local, kDayMs);
      const qint64 inDay = local - day * kDayMs;
      const QDate date = QDate::fromJulianDay(kUnixEpochJulianDay + day);
      const int offsetMin = std::abs(offsetS_) / 60;
      secondText_ = std::snprintf(text_, sizeof text_, "%04d-%02d-%02dT%02d:%02d:%02d.",
                                  date.year(), date.month(), date.day(), int(inDay / 3'600'000),
                                  int(inDay / 60'000 % 60), int(inDay / 1000 % 60));
      offsetText_ = std::snprintf(offset_, sizeof offset_, "%c%02d:%02d", offsetS_ < 0 ? '-' : '+',
                                  offsetMin / 60, offsetMin % 60);
    }
    const int milli = int(local - second_ * 1000);
    const char digits[3] = {char('0' + milli / 100), char('0' + milli / 10 % 10),
                            char('0' + milli % 10)};
    out.append(text_, secondText_).append(digits, 3).append(offset_, offsetText_);
  }

 private:
  qint64 quarter_ = std::numeric_limits<qint64>::min();
  qint64 second_ = std::numeric_limits<qint64>::min();
  int offsetS_ = 0;
  char text_[40] = {};
  char offset_[16] = {};
  int secondText_ = 0, offsetText_ = 0;
};

// A value's text as QByteArray::number(v, 'g', 12) makes it, remembered by the value's bits: a
// log's values repeat (whole degrees, per cents, actions to two decimals), and making each afresh
// took most of a day's export.
class NumberTexts {
 public:
  void append(QByteArray& out, double v) {
    const auto bits = std::bit_cast<std::uint64_t>(v);
    Entry& e = entries_[std::size_t((bits * 0x9E3779B97F4A7C15ull) >> (64 - kBits))];
    if (e.size == 0 || e.bits != bits) {
      const QByteArray text = QByteArray::number(v, 'g', 12);
      if (text.size() > qsizetype(sizeof e.text)) {
        out += text;
        return;
      }
      e.bits = bits;
      e.size = std::uint8_t(text.size());
      std::memcpy(e.text, text.constData(), std::size_t(text.size()));
    }
    out.append(e.text, e.size);
  }

 private:
  static constexpr int kBits = 16;
  struct Entry {
    std::uint64_t bits = 0;
    std::uint8_t size = 0;  // 0: nothing remembered
    char text[31];
  };
  std::vector<Entry> entries_ = std::vector<Entry>(std::size_t(1) << kBits);
};

}  // namespace

QString isoLocalTime(qint64 ms) {
  QByteArray text;
  IsoStamper().append(text, ms);
  return QString::fromLatin1(text);
}

namespace {

constexpr qsizetype kFlushBytes = 1 << 20;

// The rows of [fromMs, toMs] (0, 0: the whole store) to out, a buffer at a
// time; false when out takes fewer bytes than it is given.
bool writeRows(QIODevice& out, const TrendStore& store, qint64 fromMs, qint64 toMs,
               const std::vector<Quantity>& columns, const CsvProgress& progress) {
  if (fromMs == 0 && toMs == 0) {
    fromMs = store.firstMs();
    toMs = store.lastMs();
  }
  const std::size_t lo = store.lowerIndex(fromMs);
  const std::size_t hi = std::max(lo, store.upperIndex(toMs));
  std::vector<Quantity> shown = columns;
  if (shown.empty()) {
    for (const QuantityInfo& q : kQuantities)
      if (store.carries(q.quantity, lo, hi)) shown.push_back(q.quantity);
  }
  QByteArray buffer = "time";
  for (Quantity q : shown) buffer += ',' + QByteArray(info(q).key);
  buffer += "\r\n";
  buffer.reserve(kFlushBytes + 4096);
  const auto flush = [&] {
    const bool written = out.write(buffer) == buffer.size();
    buffer.clear();
    return written;
  };
  IsoStamper stamp;
  NumberTexts numbers;
  for (std::size_t i = lo; i < hi; ++i) {
    stamp.append(buffer, store.timeAt(i));
    for (Quantity q : shown) {
      buffer += ',';
      // Up to 12 significant digits, "." whatever the locale, no exponent for furnace values.
      if (const double v = store.value(i, q); !std::isnan(v)) numbers.append(buffer, v);
    }
    buffer += "\r\n";
    if (buffer.size() >= kFlushBytes) {
      if (!flush()) return false;
      if (progress) progress(i + 1 - lo, hi - lo);
    }
  }
  return flush();
}

}  // namespace

QByteArray csvText(const TrendStore& store, qint64 fromMs, qint64 toMs,
                   const std::vector<Quantity>& columns) {
  QByteArray text;
  QBuffer buffer(&text);
  buffer.open(QIODevice::WriteOnly);
  writeRows(buffer, store, fromMs, toMs, columns, {});
  return text;
}

bool writeCsv(const QString& path, const TrendStore& store, qint64 fromMs, qint64 toMs,
              const std::vector<Quantity>& columns, QString* error, const CsvProgress& progress) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) ||
      !writeRows(file, store, fromMs, toMs, columns, progress) || !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

bool writeCsv(const QString& path, const QByteArray& text, QString* error) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
    if (error) *error = file.errorString();
    return false;
  }
  return true;
}

}  // namespace calorix::plot
