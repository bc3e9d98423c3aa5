#pragma once
// The chart of the trend window: a curve per quantity over clock time (°C
// on the left axis, power and the actions on the right) painted into the
// plot area by a CurveLayer, the planned profile, and over the plot area the
// stage marks, the shaded stretches where the furnace lags its plan, and the
// hover cursor. Qt Charts draws the axes, the grid and the legend (a line
// series per quantity that holds no points stands for its legend entry). It
// draws what it is given for one time range; the window decides the range
// and when to draw.
#include <QChart>
#include <QDateTimeAxis>
#include <QGraphicsLineItem>
#include <QGraphicsRectItem>
#include <QGraphicsSimpleTextItem>
#include <QLineSeries>
#include <QValueAxis>

#include <array>
#include <optional>
#include <utility>
#include <vector>

#include "plot/TrendStore.h"
#include "trend/CurveLayer.h"

namespace calorix {

struct TrendContent {
  const plot::TrendStore* store = nullptr;
  qint64 fromMs = 0;
  qint64 toMs = 0;
  std::array<bool, plot::kQuantityCount> shown{};
  std::vector<QPointF> plan;                    // (ms, °C); may be empty
  std::vector<std::pair<qint64, qint64>> lags;  // shaded stretches, ms
};

class TrendChart : public QChart {
  Q_OBJECT
 public:
  TrendChart();

  // Redraws every series from the store's view of the range, at most two
  // points per pixel column of the plot area.
  void draw(const TrendContent& content);

  // The points drawn for q (ms, value), cut at the range's edges, and
  // whether its curve is switched on.
  const QList<QPointF>& curve(plot::Quantity q) const { return curves_->points(q); }
  bool curveShown(plot::Quantity q) const { return curves_->shown(q); }
  QLineSeries* planSeries() const { return plan_; }
  QDateTimeAxis* timeAxis() const { return timeAxis_; }
  int markCount() const { return int(marks_.size()); }
  int lagCount() const { return int(lagRects_.size()); }
  QString markText(int i) const { return markLabels_[std::size_t(i)]->text(); }

  // Clock time at a horizontal position in the chart, and back.
  double timeAtX(double x) const;
  double xOfTime(double ms) const;
  // The hover cursor at that time; nothing hides it.
  void setCursorTime(std::optional<qint64> ms);

 private:
  void placeOverlay();
  void setAxisRanges(const TrendContent& content);

  std::array<QLineSeries*, plot::kQuantityCount> legend_{};
  CurveLayer* curves_ = nullptr;
  QLineSeries* plan_ = nullptr;
  QDateTimeAxis* timeAxis_ = nullptr;
  QValueAxis* celsiusAxis_ = nullptr;
  QValueAxis* actionAxis_ = nullptr;
  qint64 fromMs_ = 0;
  qint64 toMs_ = 1;
  std::vector<qint64> markTimes_;
  std::vector<QGraphicsLineItem*> marks_;
  std::vector<QGraphicsSimpleTextItem*> markLabels_;
  std::vector<std::pair<qint64, qint64>> lags_;
  std::vector<QGraphicsRectItem*> lagRects_;
  QGraphicsLineItem* cursor_ = nullptr;
  std::optional<qint64> cursorMs_;
  plot::TrendStore::ViewMemo viewMemo_;
};

}  // namespace calorix
