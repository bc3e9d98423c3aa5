#include "ui/MouseButton.h"

#include <QMouseEvent>

#include "ui/Designed.h"

namespace calorix::ui {

void MouseButton::mousePressEvent(QMouseEvent* event) {
  QPushButton::mousePressEvent(event);
  emit mousePressed();
}

void MouseButton::mouseReleaseEvent(QMouseEvent* event) {
  QPushButton::mouseReleaseEvent(event);
  emit mouseReleased();
}

MouseButton* pressButton(const QString& caption, const QString& name, QWidget* parent) {
  return designed(new MouseButton(caption, parent), name, caption);
}

}  // namespace calorix::ui
