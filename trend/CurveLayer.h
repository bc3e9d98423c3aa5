#pragma once
// The curves of the trend chart, painted straight into its plot area from
// the store's view (at most two points a pixel column each). Qt Charts keeps
// the axes, the legend and the grid; its line series, which lay every point
// out as a graphics item of their own whenever the points or an axis change,
// took 20 to 30 ms a redraw for a long run, more than a frame at 60 Hz.
#include <QGraphicsItem>
#include <QList>
#include <QPen>
#include <QPointF>

#include <array>

#include "plot/TrendSample.h"

namespace calorix {

class CurveLayer : public QGraphicsItem {
 public:
  // The value range of an axis across the plot area, bottom to top.
  struct Range {
    double low = 0, high = 1;
  };

  explicit CurveLayer(QGraphicsItem* parent);

  // Points are (ms since the epoch, value); an empty list draws nothing.
  void setCurve(plot::Quantity q, QList<QPointF> points, bool shown);
  // Where the plot area is and what it spans.
  void setFrame(const QRectF& area, qint64 fromMs, qint64 toMs, Range celsius, Range action);

  const QList<QPointF>& points(plot::Quantity q) const { return curves_[std::size_t(q)].points; }
  bool shown(plot::Quantity q) const { return curves_[std::size_t(q)].shown; }

  QRectF boundingRect() const override { return area_; }
  void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;

 private:
  struct Curve {
    QList<QPointF> points;
    bool shown = false;
    QPen pen;
  };
  std::array<Curve, plot::kQuantityCount> curves_;
  QRectF area_;
  qint64 fromMs_ = 0, toMs_ = 1;
  Range celsius_, action_;
};

}  // namespace calorix
