#pragma once
// The view of the trend chart and what the mouse does in it: the wheel zooms
// the time axis about the pointer, a drag with the left button pans it, a
// drag with the right button (or with Shift) marks a stretch to zoom to, a
// double click shows everything, and moving over it reads out the values at
// the pointer's time. It only reports; the window changes the range.
#include <QChartView>
#include <QPoint>
#include <QRubberBand>

#include "trend/TrendChart.h"

namespace calorix {

class TrendChartView : public QChartView {
  Q_OBJECT
 public:
  TrendChartView(TrendChart* chart, QWidget* parent);
  TrendChart* trendChart() const { return chart_; }

 signals:
  // factor < 1 zooms in; atMs stays where it is.
  void zoomRequested(double atMs, double factor);
  // Moves the range by this much clock time (positive: later).
  void panRequested(double byMs);
  void rangeRequested(double fromMs, double toMs);
  void showAllRequested();
  void hovered(double atMs);
  void hoverLeft();

 protected:
  void wheelEvent(QWheelEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  double timeAt(const QPoint& viewPos) const;

  enum class Drag { None, Pan, Band };
  TrendChart* chart_;
  QRubberBand* band_;
  Drag drag_ = Drag::None;
  QPoint dragStart_;
  int lastPanX_ = 0;
};

}  // namespace calorix
