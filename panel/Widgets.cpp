#include "panel/Widgets.h"

#include <QMouseEvent>
#include <QPainter>

#include "ui/Designed.h"

namespace calorix::panel {

Circle::Circle(QWidget* parent, const QColor& color) : QWidget(parent), color_(color) {}

void Circle::setColor(const QColor& color) {
  if (color_ == color) return;
  color_ = color;
  update();
}

void Circle::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.setRenderHint(QPainter::Antialiasing);
  p.setPen(QPen(Qt::black, 1));
  p.setBrush(color_);
  p.drawEllipse(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

void Circle::mousePressEvent(QMouseEvent* event) {
  event->accept();
  emit mousePressed();
}

void Circle::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  emit mouseReleased();
}

DrawnKey::DrawnKey(QWidget* parent, const QString& name, QPoint lowerAt, QSize lowerSize,
                   QSize upperSize, int rest, int pressed, const QColor& lowerColor)
    : QObject(parent), rest_(rest), pressed_(pressed) {
  down_ = designed(new Circle(parent, lowerColor), name + QStringLiteral("Down"));
  down_->setGeometry(QRect(lowerAt, lowerSize));
  down_->setAttribute(Qt::WA_TransparentForMouseEvents);
  top_ = designed(new Circle(parent, QColor(128, 128, 128)), name + QStringLiteral("Top"));
  top_->setGeometry(QRect(lowerAt + QPoint(rest, rest), upperSize));
  top_->setCursor(Qt::PointingHandCursor);
  top_->raise();
}

void DrawnKey::showPressed() {
  drawnPressed_ = true;
  top_->move(down_->pos() + QPoint(pressed_, pressed_));
}

void DrawnKey::showAtRest() {
  drawnPressed_ = false;
  top_->move(down_->pos() + QPoint(rest_, rest_));
}

}  // namespace calorix::panel
