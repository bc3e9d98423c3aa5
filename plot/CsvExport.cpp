#include "plot/CsvExport.h"

#include <QDateTime>
#include <QSaveFile>

#include <algorithm>

namespace calorix::plot {

QString isoLocalTime(qint64 ms) {
  const QDateTime local = QDateTime::fromMSecsSinceEpoch(ms);
  const int offsetS = local.offsetFromUtc();
  const int offsetMin = std::abs(offsetS) / 60;
  return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
         QStringLiteral("%1%2:%3")
             .arg(offsetS < 0 ? QLatin1Char('-') : QLatin1Char('+'))
             .arg(offsetMin / 60, 2, 10, QLatin1Char('0'))
             .arg(offsetMin % 60, 2, 10, QLatin1Char('0'));
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
  for (auto it = lo; it != hi; ++it) {
    out += isoLocalTime(it->timeMs).toLatin1();
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
