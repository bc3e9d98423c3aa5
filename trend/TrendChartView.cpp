#include "trend/TrendChartView.h"

#include <QMouseEvent>
#include <QWheelEvent>

#include <cmath>

namespace calorix {

namespace {
// One notch of the wheel (120 units) zooms by this factor.
constexpr double kWheelZoom = 1.25;
// A band narrower than this is taken for a slip of the hand.
constexpr int kMinBandPx = 4;
}  // namespace

TrendChartView::TrendChartView(TrendChart* chart, QWidget* parent)
    : QChartView(chart, parent),
      chart_(chart),
      band_(new QRubberBand(QRubberBand::Rectangle, this)) {
  setRenderHint(QPainter::Antialiasing);
  setMouseTracking(true);
  viewport()->setMouseTracking(true);       // the read-out follows the pointer without a button
  setRubberBand(QChartView::NoRubberBand);  // ours: it asks the window, never zooms itself
  setDragMode(QGraphicsView::NoDrag);
}

double TrendChartView::timeAt(const QPoint& viewPos) const {
  return chart_->timeAtX(chart_->mapFromScene(mapToScene(viewPos)).x());
}

void TrendChartView::wheelEvent(QWheelEvent* event) {
  const double notches = event->angleDelta().y() / 120.0;
  if (notches == 0) return;
  emit zoomRequested(timeAt(event->position().toPoint()), std::pow(kWheelZoom, -notches));
  event->accept();
}

void TrendChartView::mousePressEvent(QMouseEvent* event) {
  dragStart_ = event->position().toPoint();
  const bool band = event->button() == Qt::RightButton ||
                    (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ShiftModifier));
  if (band) {
    drag_ = Drag::Band;
    band_->setGeometry(QRect(dragStart_, QSize()));
    band_->show();
  } else if (event->button() == Qt::LeftButton) {
    drag_ = Drag::Pan;
    lastPanX_ = dragStart_.x();
    setCursor(Qt::ClosedHandCursor);
  }
  event->accept();
}

void TrendChartView::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  switch (drag_) {
    case Drag::Band: {
      const QRect area = rect();
      band_->setGeometry(
          QRect(QPoint(dragStart_.x(), area.top()), QPoint(pos.x(), area.bottom())).normalized());
      break;
    }
    case Drag::Pan: {
      // The time under the pointer stays under it; the scale does not change
      // while panning, so a pixel stands for the same time throughout.
      const double msPerPixel = chart_->timeAtX(1) - chart_->timeAtX(0);
      emit panRequested(double(lastPanX_ - pos.x()) * msPerPixel);
      lastPanX_ = pos.x();
      break;
    }
    case Drag::None:
      break;
  }
  emit hovered(timeAt(pos));
  event->accept();
}

void TrendChartView::mouseReleaseEvent(QMouseEvent* event) {
  if (drag_ == Drag::Band) {
    band_->hide();
    const int x0 = dragStart_.x();
    const int x1 = event->position().toPoint().x();
    if (std::abs(x1 - x0) >= kMinBandPx) {
      const double a = timeAt(QPoint(x0, dragStart_.y()));
      const double b = timeAt(QPoint(x1, dragStart_.y()));
      emit rangeRequested(std::min(a, b), std::max(a, b));
    }
  }
  drag_ = Drag::None;
  unsetCursor();
  event->accept();
}

void TrendChartView::mouseDoubleClickEvent(QMouseEvent* event) {
  emit showAllRequested();
  event->accept();
}

void TrendChartView::leaveEvent(QEvent* event) {
  emit hoverLeft();
  QChartView::leaveEvent(event);
}

}  // namespace calorix
