#include "plot/ChartRenderer.h"

#include <QDateTime>
#include <QFontMetrics>
#include <QImage>
#include <QPaintEngine>
#include <QPainterPath>
#include <QSaveFile>
#include <QSvgGenerator>

#include <algorithm>
#include <array>
#include <cmath>

namespace calorix::plot {
namespace {

constexpr int kMarginLeft = 72;
constexpr int kMarginRight = 72;
constexpr int kMarginBottom = 36;
constexpr int kPad = 8;
// The time axis spans the data, however short; a lone sample gets a second around it.
constexpr qint64 kMinSpanMs = 1'000;

// One axis: the values from lo to hi across the pixels from bottom to top.
struct Scale {
  double lo = 0, hi = 1;
  double top = 0, bottom = 1;
  double y(double v) const { return bottom - (v - lo) / (hi - lo) * (bottom - top); }
};

// Up to about `wanted` round steps (1, 2 or 5 times a power of ten) over lo..hi, widened to them.
double niceStep(double span, int wanted) {
  const double raw = span / std::max(wanted, 1);
  const double power = std::pow(10.0, std::floor(std::log10(raw)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (raw <= m * power) return m * power;
  return 10 * power;
}

void widen(Scale& s, int wanted) {
  if (!(s.hi > s.lo)) {
    const double mid = std::isfinite(s.lo) ? s.lo : 0;
    s.lo = mid - 1;
    s.hi = mid + 1;
  }
  const double step = niceStep(s.hi - s.lo, wanted);
  s.lo = std::floor(s.lo / step) * step;
  s.hi = std::ceil(s.hi / step) * step;
}

QString valueText(double v, double step) {
  const int decimals = step >= 1 ? 0 : int(std::ceil(-std::log10(step)));
  return QString::number(v, 'f', decimals);
}

// Time steps for the labels across: tenths of a second (the stream's frames come every 25 ms),
// whole seconds, minutes and hours of the local clock.
constexpr std::array<qint64, 21> kTimeSteps{
    100,       200,       500,       1'000,      2'000,      5'000,      10'000,
    15'000,    30'000,    60'000,    120'000,    300'000,    600'000,    900'000,
    1'800'000, 3'600'000, 7'200'000, 10'800'000, 21'600'000, 43'200'000, 86'400'000};

struct Frame {
  QRectF plot;
  qint64 fromMs, toMs;
  double x(double ms) const {
    return plot.left() + (ms - double(fromMs)) / double(toMs - fromMs) * plot.width();
  }
};

std::vector<Quantity> curvesOf(const ChartRequest& r) {
  if (!r.curves.empty()) return r.curves;
  std::vector<Quantity> all;
  for (const QuantityInfo& q : kQuantities)
    if (r.store->carries(q.quantity)) all.push_back(q.quantity);
  return all;
}

// The legend across the top, wrapped into rows; returns its height.
int drawLegend(QPainter& p, const std::vector<Quantity>& curves, bool plan, QRectF area) {
  const QFontMetrics fm(p.font());
  const int rowH = fm.height() + 4;
  double x = area.left(), y = area.top();
  auto item = [&](const QString& text, const QPen& pen) {
    const double w = 28 + fm.horizontalAdvance(text) + 16;
    if (x + w > area.right() && x > area.left()) {
      x = area.left();
      y += rowH;
    }
    p.setPen(pen);
    p.drawLine(QPointF(x, y + rowH / 2.0), QPointF(x + 22, y + rowH / 2.0));
    p.setPen(Qt::black);
    p.drawText(QRectF(x + 28, y, w, rowH), Qt::AlignLeft | Qt::AlignVCenter, text);
    x += w;
  };
  for (Quantity q : curves) item(QString::fromUtf8(info(q).label), QPen(curveColor(q), 2));
  if (plan) item(QString::fromUtf8("План, °C"), QPen(Qt::black, 1.5, Qt::DashLine));
  return int(y - area.top()) + rowH;
}

void drawTimeAxis(QPainter& p, const Frame& f) {
  const QFontMetrics fm(p.font());
  const qint64 span = f.toMs - f.fromMs;
  const auto fit = [&](const char* widest) {
    return std::max(2, int(f.plot.width() / (fm.horizontalAdvance(QLatin1String(widest)) + 24)));
  };
  qint64 step = kTimeSteps.back();
  for (qint64 s : kTimeSteps)
    if (span / s <= fit(s < 1000 ? "00:00:00.000" : "00:00:00")) {
      step = s;
      break;
    }
  // Round times of the local clock: align to the offset of the view's start.
  const qint64 offset = qint64(QDateTime::fromMSecsSinceEpoch(f.fromMs).offsetFromUtc()) * 1000;
  const QString format = step < 1000     ? QStringLiteral("HH:mm:ss.zzz")
                         : step < 60'000 ? QStringLiteral("HH:mm:ss")
                                         : QStringLiteral("HH:mm");
  qint64 t = ((f.fromMs + offset + step - 1) / step) * step - offset;
  for (; t <= f.toMs; t += step) {
    const double x = f.x(double(t));
    p.setPen(QColor(225, 225, 225));
    p.drawLine(QPointF(x, f.plot.top()), QPointF(x, f.plot.bottom()));
    p.setPen(Qt::black);
    p.drawLine(QPointF(x, f.plot.bottom()), QPointF(x, f.plot.bottom() + 4));
    const QString text = QDateTime::fromMSecsSinceEpoch(t).toString(format);
    p.drawText(QRectF(x - 50, f.plot.bottom() + 5, 100, fm.height()), Qt::AlignHCenter, text);
  }
  const QDate first = QDateTime::fromMSecsSinceEpoch(f.fromMs).date();
  const QDate last = QDateTime::fromMSecsSinceEpoch(f.toMs).date();
  const QString days = first == last
                           ? first.toString(QStringLiteral("dd.MM.yyyy"))
                           : first.toString(QStringLiteral("dd.MM.yyyy")) + QStringLiteral(" – ") +
                                 last.toString(QStringLiteral("dd.MM.yyyy"));
  p.drawText(QRectF(f.plot.left(), f.plot.bottom() + 5 + fm.height(), f.plot.width(), fm.height()),
             Qt::AlignRight, days);
}

void drawValueAxis(QPainter& p, const Scale& s, const QRectF& plot, bool left,
                   const QString& unit) {
  const QFontMetrics fm(p.font());
  const double step = niceStep(s.hi - s.lo, std::max(2, int(plot.height() / (fm.height() * 3))));
  for (double v = s.lo; v <= s.hi + step / 2; v += step) {
    const double y = s.y(v);
    if (left) {
      p.setPen(QColor(225, 225, 225));
      p.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
    }
    p.setPen(Qt::black);
    const QRectF box =
        left ? QRectF(0, y - fm.height() / 2.0, plot.left() - 6, fm.height())
             : QRectF(plot.right() + 6, y - fm.height() / 2.0, kMarginRight, fm.height());
    p.drawText(box, (left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, valueText(v, step));
  }
  const QRectF unitBox =
      left ? QRectF(0, plot.top() - fm.height() - 2, plot.left() - 6, fm.height())
           : QRectF(plot.right() + 6, plot.top() - fm.height() - 2, kMarginRight, fm.height());
  p.drawText(unitBox, (left ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter, unit);
}

}  // namespace

QColor curveColor(Quantity q) {
  static const std::array<QColor, kQuantityCount> colors{{
      QColor(200, 30, 30),   // temperature
      QColor(240, 130, 40),  // corrected temperature
      QColor(60, 60, 60),    // set temperature
      QColor(30, 110, 220),  // heater power
      QColor(40, 160, 70),   // P
      QColor(150, 80, 200),  // I
      QColor(0, 160, 170),   // D
      QColor(20, 40, 140),   // total
      QColor(190, 150, 0),   // heating speed
      QColor(120, 100, 40),  // set speed
      QColor(230, 60, 160),  // error
  }};
  return colors[std::size_t(q)];
}

void renderChart(QPainter& p, const ChartRequest& r) {
  p.save();
  p.setRenderHint(QPainter::Antialiasing);
  const QRectF whole(QPointF(0, 0), QSizeF(r.size));
  p.fillRect(whole, Qt::white);
  const QFontMetrics fm(p.font());
  const TrendStore empty;
  const TrendStore& store = r.store ? *r.store : empty;
  ChartRequest req = r;
  req.store = &store;
  const std::vector<Quantity> curves = curvesOf(req);

  double top = kPad;
  if (!r.title.isEmpty()) {
    p.save();
    QFont bold = p.font();
    bold.setBold(true);
    p.setFont(bold);
    p.setPen(Qt::black);
    p.drawText(QRectF(kPad, top, whole.width() - 2 * kPad, fm.height() + 4), Qt::AlignHCenter,
               r.title);
    p.restore();
    top += fm.height() + 6;
  }
  top += drawLegend(p, curves, !r.plan.empty(),
                    QRectF(kMarginLeft, top, whole.width() - kMarginLeft - kMarginRight, 0));
  top += fm.height() + 4;  // the unit labels above the axes

  Frame f;
  f.plot = QRectF(QPointF(kMarginLeft, top), QPointF(whole.width() - kMarginRight,
                                                     whole.height() - kMarginBottom - fm.height()));
  f.fromMs = r.fromMs;
  f.toMs = r.toMs;
  if (f.fromMs == 0 && f.toMs == 0) {
    f.fromMs = store.firstMs();
    f.toMs = store.lastMs();
    for (const PlanPoint& pt : r.plan) {
      f.fromMs = store.empty() ? pt.timeMs : std::min(f.fromMs, pt.timeMs);
      f.toMs = std::max(f.toMs, pt.timeMs);
    }
  }
  if (f.toMs - f.fromMs < kMinSpanMs) {
    const qint64 mid = f.fromMs / 2 + f.toMs / 2;
    f.fromMs = mid - kMinSpanMs / 2;
    f.toMs = mid + kMinSpanMs / 2;
  }
  if (f.plot.width() < 10 || f.plot.height() < 10) {
    p.restore();
    return;
  }

  // Each axis spans what is drawn against it in the view.
  const int columns = std::max(1, int(f.plot.width()));
  std::vector<std::vector<QPointF>> points(curves.size());
  Scale celsius{HUGE_VAL, -HUGE_VAL, f.plot.top(), f.plot.bottom()};
  Scale action = celsius;
  bool anyAction = false;
  const TrendStore::ViewColumns viewColumns = store.viewColumns(f.fromMs, f.toMs, columns);
  for (std::size_t i = 0; i < curves.size(); ++i) {
    points[i] = store.view(curves[i], viewColumns);
    Scale& s = info(curves[i]).axis == Axis::Celsius ? celsius : action;
    anyAction = anyAction || info(curves[i]).axis == Axis::Action;
    for (const QPointF& pt : points[i]) {
      if (pt.x() < double(f.fromMs) || pt.x() > double(f.toMs)) continue;
      s.lo = std::min(s.lo, pt.y());
      s.hi = std::max(s.hi, pt.y());
    }
  }
  for (const PlanPoint& pt : r.plan) {
    celsius.lo = std::min(celsius.lo, pt.temperature);
    celsius.hi = std::max(celsius.hi, pt.temperature);
  }
  const int wanted = std::max(2, int(f.plot.height() / (fm.height() * 3)));
  widen(celsius, wanted);
  widen(action, wanted);

  p.setPen(Qt::NoPen);
  for (const LagInterval& lag : r.lags) {
    const double x0 = std::max(f.x(double(lag.fromMs)), f.plot.left());
    const double x1 = std::min(f.x(double(lag.toMs)), f.plot.right());
    if (x1 >= x0)
      p.fillRect(QRectF(x0, f.plot.top(), std::max(x1 - x0, 1.0), f.plot.height()),
                 QColor(255, 200, 200, 140));
  }
  drawTimeAxis(p, f);
  drawValueAxis(p, celsius, f.plot, true, QStringLiteral("°C"));
  if (anyAction) drawValueAxis(p, action, f.plot, false, QStringLiteral("%, УВ"));

  p.setClipRect(f.plot.adjusted(-1, -1, 1, 1));
  for (const StageMark& mark : store.stageMarks()) {
    if (mark.timeMs < f.fromMs || mark.timeMs > f.toMs) continue;
    const double x = f.x(double(mark.timeMs));
    p.setPen(QPen(QColor(120, 120, 120), 1, Qt::DotLine));
    p.drawLine(QPointF(x, f.plot.top()), QPointF(x, f.plot.bottom()));
    p.setPen(QColor(80, 80, 80));
    p.drawText(QPointF(x + 3, f.plot.top() + fm.ascent() + 2),
               QString::fromUtf8("П%1 ст.%2").arg(mark.program).arg(mark.stage));
  }
  if (r.plan.size() >= 2) {
    QPainterPath path;
    path.moveTo(f.x(double(r.plan.front().timeMs)), celsius.y(r.plan.front().temperature));
    for (const PlanPoint& pt : r.plan)
      path.lineTo(f.x(double(pt.timeMs)), celsius.y(pt.temperature));
    p.setPen(QPen(Qt::black, 1.5, Qt::DashLine));
    p.setBrush(Qt::NoBrush);
    p.drawPath(path);
  }
  // The raster engine strokes a long polyline wider than a pixel as one polygon, which takes
  // seconds for a day of zigzag columns; the same line as separate segments takes milliseconds.
  // Vector output (SVG) keeps one path a curve.
  const bool raster = p.paintEngine() && p.paintEngine()->type() == QPaintEngine::Raster;
  for (std::size_t i = 0; i < curves.size(); ++i) {
    const Scale& s = info(curves[i]).axis == Axis::Celsius ? celsius : action;
    QPolygonF line;
    line.reserve(qsizetype(points[i].size()));
    for (const QPointF& pt : points[i]) line << QPointF(f.x(pt.x()), s.y(pt.y()));
    p.setPen(QPen(curveColor(curves[i]), 1.6));
    if (line.size() == 1) {
      p.drawEllipse(line.front(), 2, 2);
    } else if (raster) {
      QList<QLineF> segments;
      segments.reserve(line.size());
      for (qsizetype k = 1; k < line.size(); ++k) segments << QLineF(line[k - 1], line[k]);
      p.drawLines(segments);
    } else {
      p.drawPolyline(line);
    }
  }
  p.setClipping(false);
  p.setPen(Qt::black);
  p.setBrush(Qt::NoBrush);
  p.drawRect(f.plot);
  if (store.empty() && r.plan.empty())
    p.drawText(f.plot, Qt::AlignCenter, QString::fromUtf8("Нет данных"));
  p.restore();
}

namespace {

bool sizeOk(const ChartRequest& r, QString* error) {
  const QSize& s = r.size;
  if (s.width() >= kMinChartSize.width() && s.height() >= kMinChartSize.height() &&
      s.width() <= kMaxChartSize.width() && s.height() <= kMaxChartSize.height())
    return true;
  if (error)
    *error = QStringLiteral("size %1x%2 is outside %3x%4..%5x%6")
                 .arg(s.width())
                 .arg(s.height())
                 .arg(kMinChartSize.width())
                 .arg(kMinChartSize.height())
                 .arg(kMaxChartSize.width())
                 .arg(kMaxChartSize.height());
  return false;
}

bool commit(QSaveFile& file, QString* error) {
  if (file.commit()) return true;
  if (error) *error = file.errorString();
  return false;
}

}  // namespace

bool writePng(const QString& path, const ChartRequest& request, QString* error) {
  if (!sizeOk(request, error)) return false;
  QImage image(request.size, QImage::Format_ARGB32_Premultiplied);
  {
    QPainter painter(&image);
    renderChart(painter, request);
  }
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || !image.save(&file, "PNG")) {
    if (error)
      *error =
          file.errorString().isEmpty() ? QStringLiteral("PNG not written") : file.errorString();
    return false;
  }
  return commit(file, error);
}

bool writeSvg(const QString& path, const ChartRequest& request, QString* error) {
  if (!sizeOk(request, error)) return false;
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error) *error = file.errorString();
    return false;
  }
  QSvgGenerator svg;
  svg.setOutputDevice(&file);
  svg.setSize(request.size);
  svg.setViewBox(QRect(QPoint(0, 0), request.size));
  svg.setTitle(request.title);
  {
    QPainter painter(&svg);
    renderChart(painter, request);
  }
  return commit(file, error);
}

}  // namespace calorix::plot
