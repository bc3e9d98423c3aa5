#pragma once
// A push button that acts when a mouse button (any) goes down or up on it,
// rather than on a click, as the console's designed buttons do. Keyboard
// activation still emits clicked(), which the keys that must not react leave
// unconnected.
#include <QPushButton>
#include <QString>

namespace calorix::ui {

class MouseButton : public QPushButton {
  Q_OBJECT
 public:
  MouseButton(const QString& caption, QWidget* parent) : QPushButton(caption, parent) {}

 signals:
  void mousePressed();
  void mouseReleased();

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

// A MouseButton under its designed name, its caption as its accessible name.
MouseButton* pressButton(const QString& caption, const QString& name, QWidget* parent);

}  // namespace calorix::ui
