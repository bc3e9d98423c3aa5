#include "trend/CurveLayer.h"

#include <QPainter>
#include <QVarLengthArray>

#include "plot/ChartRenderer.h"

namespace calorix {

CurveLayer::CurveLayer(QGraphicsItem* parent) : QGraphicsItem(parent) {
  for (const plot::QuantityInfo& info : plot::kQuantities) {
    QPen pen(plot::curveColor(info.quantity));
    pen.setWidthF(1.5);
    curves_[std::size_t(info.quantity)].pen = pen;
  }
}

void CurveLayer::setCurve(plot::Quantity q, QList<QPointF> points, bool shown) {
  Curve& c = curves_[std::size_t(q)];
  c.points = std::move(points);
  c.shown = shown;
  update();
}

void CurveLayer::setFrame(const QRectF& area, qint64 fromMs, qint64 toMs, Range celsius,
                          Range action) {
  if (area != area_) prepareGeometryChange();
  area_ = area;
  fromMs_ = fromMs;
  toMs_ = std::max(toMs, fromMs + 1);
  celsius_ = celsius;
  action_ = action;
  update();
}

void CurveLayer::paint(QPainter* painter, const QStyleOptionGraphicsItem*, QWidget*) {
  if (area_.width() <= 0 || area_.height() <= 0) return;
  painter->save();
  painter->setClipRect(area_);
  const double xScale = area_.width() / double(toMs_ - fromMs_);
  // Line segments rather than one polyline: the raster engine strokes a long
  // zigzag polyline as one polygon, many times slower. A curve with more
  // points than pixels across is a column of extremes a pixel: drawn one
  // pixel wide without smoothing, which the raster engine does many times
  // faster and which looks the same at that density.
  QVarLengthArray<QLineF, 4096> segments;
  const bool smooth = painter->testRenderHint(QPainter::Antialiasing);
  for (const plot::QuantityInfo& info : plot::kQuantities) {
    const Curve& c = curves_[std::size_t(info.quantity)];
    if (!c.shown || c.points.isEmpty()) continue;
    const Range& r = info.axis == plot::Axis::Celsius ? celsius_ : action_;
    const double yScale = area_.height() / (r.high - r.low);
    const auto at = [&](const QPointF& p) {
      return QPointF(area_.left() + (p.x() - double(fromMs_)) * xScale,
                     area_.bottom() - (p.y() - r.low) * yScale);
    };
    const bool dense = double(c.points.size()) > area_.width();
    painter->setRenderHint(QPainter::Antialiasing, smooth && !dense);
    QPen pen = c.pen;
    if (dense) pen.setWidth(0);
    painter->setPen(pen);
    if (c.points.size() == 1) {
      painter->drawPoint(at(c.points.front()));
      continue;
    }
    segments.clear();
    QPointF previous = at(c.points.front());
    for (qsizetype i = 1; i < c.points.size(); ++i) {
      const QPointF next = at(c.points[i]);
      segments.append(QLineF(previous, next));
      previous = next;
    }
    painter->drawLines(segments.constData(), int(segments.size()));
  }
  painter->restore();
}

}  // namespace calorix
