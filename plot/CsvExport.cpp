#include "plot/CsvExport.h"

#include <QDateTime>
#include <QSaveFile>

#include <algorithm>
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

QByteArray csvText(const TrendStore& store, qint64 fromMs, qint64 toMs,
                   const std::vector<Quantity>& columns) {
  const auto& samples = store.samples();
  if (fromMs == 0 && toMs == 0) {
    fromMs = store.firstMs();
    toMs = store.lastMs();
  }
  const auto lo = std::lower_bound(samples.begin(), samples.end(), fromMs,
                                   [](const Sample& s, qint64 t) { return s.timeMs < t; });
  const auto hi = std::upper_bound(lo, samples.end(), toMs,
                                   [](qint64 t, const Sample& s) { return t < s.timeMs; });
  std::vector<Quantity> shown = columns;
  if (shown.empty()) {
    for (const QuantityInfo& q : kQuantities)
      if (std::any_of(lo, hi, [&](const Sample& s) { return s.has(q.quantity); }))
        shown.push_back(q.quantity);
  }
  QByteArray out = "time";
  for (Quantity q : shown) out += ',' + QByteArray(info(q).key);
  out += "\r\n";
  out.reserve(out.size() + qsizetype(hi - lo) * qsizetype(32 + 12 * shown.size()));
  IsoStamper stamp;
  for (auto it = lo; it != hi; ++it) {
    out += stamp(it->timeMs);
    for (Quantity q : shown) {
      out += ',';
      // Up to 12 significant digits, "." whatever the locale, no exponent for furnace values.
      if (it->has(q)) out += QByteArray::number(it->value(q), 'g', 12);
    }
    out += "\r\n";
  }
  return out;
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
