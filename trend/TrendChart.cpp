#include "trend/TrendChart.h"

#include <QBrush>
#include <QDateTime>
#include <QList>
#include <QPen>

#include <algorithm>
#include <cmath>
#include <limits>

#include "plot/ChartRenderer.h"

namespace calorix {

namespace {

using plot::Quantity;

// More marks or shaded stretches than this in one view would only hide the
// curves; the view then shows the first ones.
constexpr std::size_t kMaxOverlayItems = 200;
constexpr double kMarkLabelGap = 3;

// A value range with a little room above and below, never empty.
struct Span {
  double low = std::numeric_limits<double>::infinity();
  double high = -std::numeric_limits<double>::infinity();
  void take(double v) {
    low = std::min(low, v);
    high = std::max(high, v);
  }
  bool empty() const { return low > high; }
  std::pair<double, double> padded(double fallbackLow, double fallbackHigh) const {
    if (empty()) return {fallbackLow, fallbackHigh};
    const double room = std::max((high - low) * 0.05, 1.0);
    return {low - room, high + room};
  }
};

// Cuts a polyline (in time order) at the range's edges, the segments that
// cross an edge ending there at their value by straight lines. The chart does
// not draw a segment to a point beyond its axis as the straight line it is,
// so no point may lie outside.
void clipToRange(QList<QPointF>& points, double from, double to) {
  const auto at = [](const QPointF& a, const QPointF& b, double x) {
    if (b.x() == a.x()) return QPointF(x, b.y());
    return QPointF(x, a.y() + (b.y() - a.y()) * (x - a.x()) / (b.x() - a.x()));
  };
  const auto first = std::find_if(points.begin(), points.end(),
                                  [from](const QPointF& p) { return p.x() >= from; });
  if (first == points.end()) {
    points.clear();
    return;
  }
  if (first != points.begin()) {
    const QPointF edge = at(*(first - 1), *first, from);
    const auto kept = points.erase(points.begin(), first - 1);
    *kept = edge;
  }
  const auto last =
      std::find_if(points.rbegin(), points.rend(), [to](const QPointF& p) { return p.x() <= to; });
  if (last == points.rend()) {
    points.clear();
    return;
  }
  if (last != points.rbegin()) {
    const auto keep = last.base();  // the first point beyond the range
    *keep = at(*(keep - 1), *keep, to);
    points.erase(keep + 1, points.end());
  }
}

QString timeFormat(qint64 spanMs) {
  constexpr qint64 kDayMs = 24LL * 3600 * 1000;
  return spanMs >= kDayMs ? QStringLiteral("dd.MM HH:mm") : QStringLiteral("HH:mm:ss");
}

}  // namespace

TrendChart::TrendChart() {
  setObjectName(QStringLiteral("ChartGrafik"));
  legend()->setAlignment(Qt::AlignBottom);
  setMargins(QMargins(4, 4, 4, 4));

  timeAxis_ = new QDateTimeAxis(this);
  timeAxis_->setFormat(QStringLiteral("HH:mm:ss"));
  timeAxis_->setTickCount(7);
  celsiusAxis_ = new QValueAxis(this);
  celsiusAxis_->setTitleText(QString::fromUtf8("°C, °C/мин"));
  actionAxis_ = new QValueAxis(this);
  actionAxis_->setTitleText(QString::fromUtf8("%, воздействие"));
  addAxis(timeAxis_, Qt::AlignBottom);
  addAxis(celsiusAxis_, Qt::AlignLeft);
  addAxis(actionAxis_, Qt::AlignRight);

  for (const plot::QuantityInfo& info : plot::kQuantities) {
    auto* s = new QLineSeries(this);
    s->setName(QString::fromUtf8(info.label));
    QPen pen(plot::curveColor(info.quantity));
    pen.setWidthF(1.5);
    s->setPen(pen);
    addSeries(s);
    s->attachAxis(timeAxis_);
    s->attachAxis(info.axis == plot::Axis::Celsius ? celsiusAxis_ : actionAxis_);
    legend_[std::size_t(info.quantity)] = s;
  }
  curves_ = new CurveLayer(this);
  curves_->setZValue(5);
  plan_ = new QLineSeries(this);
  plan_->setName(QString::fromUtf8("План, °C"));
  QPen planPen(Qt::black);
  planPen.setStyle(Qt::DashLine);
  planPen.setWidthF(1.5);
  plan_->setPen(planPen);
  addSeries(plan_);
  plan_->attachAxis(timeAxis_);
  plan_->attachAxis(celsiusAxis_);

  cursor_ = new QGraphicsLineItem(this);
  cursor_->setPen(QPen(QColor(0, 0, 0, 120), 1, Qt::DotLine));
  cursor_->setZValue(20);
  cursor_->hide();
  connect(this, &QChart::plotAreaChanged, this, [this] { placeOverlay(); });
}

void TrendChart::draw(const TrendContent& content) {
  fromMs_ = content.fromMs;
  toMs_ = std::max(content.toMs, content.fromMs + 1);
  const int columns = std::max(1, int(plotArea().width()));
  Span celsius;
  Span action;
  std::array<QList<QPointF>, plot::kQuantityCount> points;
  const plot::TrendStore::ViewColumns viewColumns =
      content.store ? content.store->viewColumns(fromMs_, toMs_, columns)
                    : plot::TrendStore::ViewColumns{};
  for (const plot::QuantityInfo& info : plot::kQuantities) {
    if (!content.shown[std::size_t(info.quantity)] || !content.store) continue;
    const std::vector<QPointF> view = content.store->view(info.quantity, viewColumns, viewMemo_);
    QList<QPointF>& list = points[std::size_t(info.quantity)];
    list = QList<QPointF>(view.begin(), view.end());
    clipToRange(list, double(fromMs_), double(toMs_));
    Span& span = info.axis == plot::Axis::Celsius ? celsius : action;
    for (const QPointF& p : list) span.take(p.y());
  }
  QList<QPointF> plan(content.plan.begin(), content.plan.end());
  clipToRange(plan, double(fromMs_), double(toMs_));
  for (const QPointF& p : plan) celsius.take(p.y());

  timeAxis_->setFormat(timeFormat(toMs_ - fromMs_));
  timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(fromMs_),
                      QDateTime::fromMSecsSinceEpoch(toMs_));
  const auto [cLow, cHigh] = celsius.padded(0, 100);
  celsiusAxis_->setRange(cLow, cHigh);
  const auto [aLow, aHigh] = action.padded(0, 100);
  actionAxis_->setRange(aLow, aHigh);
  for (const plot::QuantityInfo& info : plot::kQuantities) {
    const bool shown = content.shown[std::size_t(info.quantity)] && content.store;
    legend_[std::size_t(info.quantity)]->setVisible(shown);
    curves_->setCurve(info.quantity, std::move(points[std::size_t(info.quantity)]), shown);
  }
  plan_->replace(plan);
  plan_->setVisible(!plan.empty());

  // Stage marks and lag stretches of the range, as items over the plot area.
  markTimes_.clear();
  if (content.store) {
    for (const plot::StageMark& mark : content.store->stageMarks()) {
      if (mark.timeMs < fromMs_ || mark.timeMs > toMs_) continue;
      if (markTimes_.size() == kMaxOverlayItems) break;
      markTimes_.push_back(mark.timeMs);
      if (marks_.size() < markTimes_.size()) {
        auto* line = new QGraphicsLineItem(this);
        line->setPen(QPen(QColor(80, 80, 80), 1, Qt::DashLine));
        line->setZValue(10);
        auto* label = new QGraphicsSimpleTextItem(this);
        label->setZValue(11);
        marks_.push_back(line);
        markLabels_.push_back(label);
      }
      markLabels_[markTimes_.size() - 1]->setText(
          QString::fromUtf8("программа %1, этап %2").arg(mark.program).arg(mark.stage));
    }
  }
  while (marks_.size() > markTimes_.size()) {
    delete marks_.back();
    delete markLabels_.back();
    marks_.pop_back();
    markLabels_.pop_back();
  }
  lags_.clear();
  for (const auto& lag : content.lags)
    if (lag.second >= fromMs_ && lag.first <= toMs_ && lags_.size() < kMaxOverlayItems)
      lags_.push_back(lag);
  while (lagRects_.size() < lags_.size()) {
    auto* rect = new QGraphicsRectItem(this);
    rect->setPen(Qt::NoPen);
    rect->setBrush(QColor(255, 60, 60, 50));
    rect->setZValue(-1);
    lagRects_.push_back(rect);
  }
  while (lagRects_.size() > lags_.size()) {
    delete lagRects_.back();
    lagRects_.pop_back();
  }
  placeOverlay();
}

double TrendChart::xOfTime(double ms) const {
  const QRectF area = plotArea();
  return area.left() + (ms - double(fromMs_)) / double(toMs_ - fromMs_) * area.width();
}

double TrendChart::timeAtX(double x) const {
  const QRectF area = plotArea();
  if (area.width() <= 0) return double(fromMs_);
  return double(fromMs_) + (x - area.left()) / area.width() * double(toMs_ - fromMs_);
}

void TrendChart::setCursorTime(std::optional<qint64> ms) {
  cursorMs_ = ms;
  placeOverlay();
}

void TrendChart::placeOverlay() {
  const QRectF area = plotArea();
  curves_->setFrame(area, fromMs_, toMs_, {celsiusAxis_->min(), celsiusAxis_->max()},
                    {actionAxis_->min(), actionAxis_->max()});
  const auto clampX = [&area](double x) { return std::clamp(x, area.left(), area.right()); };
  for (std::size_t i = 0; i < marks_.size(); ++i) {
    const double x = xOfTime(double(markTimes_[i]));
    marks_[i]->setLine(x, area.top(), x, area.bottom());
    // Labels stagger down the plot so neighbouring marks stay readable; one
    // that would run past the plot's right edge stands left of its line.
    const QRectF label = markLabels_[i]->boundingRect();
    const double left = x + kMarkLabelGap + label.width() <= area.right()
                            ? x + kMarkLabelGap
                            : x - kMarkLabelGap - label.width();
    markLabels_[i]->setPos(left, area.top() + kMarkLabelGap + double(i % 4) * (label.height() + 1));
  }
  for (std::size_t i = 0; i < lagRects_.size(); ++i) {
    const double left = clampX(xOfTime(double(lags_[i].first)));
    const double right = clampX(xOfTime(double(lags_[i].second)));
    lagRects_[i]->setRect(QRectF(QPointF(left, area.top()), QPointF(right, area.bottom())));
  }
  if (cursorMs_ && *cursorMs_ >= fromMs_ && *cursorMs_ <= toMs_) {
    const double x = xOfTime(double(*cursorMs_));
    cursor_->setLine(x, area.top(), x, area.bottom());
    cursor_->show();
  } else {
    cursor_->hide();
  }
}

}  // namespace calorix
