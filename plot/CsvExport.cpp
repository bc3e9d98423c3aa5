#include "plot/CsvExport.h"

#include <QBuffer>
#include <QDateTime>
#include <QSaveFile>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
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
// change it only at such boundaries), the text is made by hand; a zone lookup and a formatted
// QDateTime a row made an hour of the stream take seconds to export.
class IsoStamper {
 public:
  QByteArray operator()(qint64 ms) {
    if (const qint64 quarter = floorDiv(ms, kQuarterHourMs); quarter != quarter_) {
      quarter_ = quarter;
      offsetS_ = QDateTime::fromMSecsSinceEpoch(ms).offsetFromUtc();
    }
    const qint64 local = ms + qint64(offsetS_) * 1000;
    const qint64 day = floorDiv(local, kDayMs);
    const qint64 inDay = local - day * kDayMs;
    const QDate date = QDate::fromJulianDay(kUnixEpochJulianDay + day);
    const int offsetMin = std::abs(offsetS_) / 60;
    char text[48];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d",
                                date.year(), date.month(), date.day(), int(inDay / 3'600'000),
                                int(inDay / 60'000 % 60), int(inDay / 1000 % 60), int(inDay % 1000),
                                offsetS_ < 0 ? '-' : '+', offsetMin / 60, offsetMin % 60);
    return QByteArray(text, n);
  }

 private:
  qint64 quarter_ = std::numeric_limits<qint64>::min();
  int offsetS_ = 0;
};

}  // namespace

QString isoLocalTime(qint64 ms) {
  return QString::fromLatin1(IsoStamper()(ms));
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
  for (std::size_t i = lo; i < hi; ++i) {
    buffer += stamp(store.timeAt(i));
    for (Quantity q : shown) {
      buffer += ',';
      // Up to 12 significant digits, "." whatever the locale, no exponent for furnace values.
      if (const double v = store.value(i, q); !std::isnan(v))
        buffer += QByteArray::number(v, 'g', 12);
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
