#pragma once
// The additional-parameters window: the set temperature, stabilisation time
// and heating speed of the stage the controller is running, as 16-bit words
// in its RAM.
#include <QPushButton>
#include <QWidget>

#include "app/WindowContext.h"
#include "panel/Widgets.h"

class QLineEdit;

namespace calorix {

// A push button that acts when any mouse button goes down on it, not on a
// click. The tools windows' buttons all work this way.
// A button that acts at the mouse press (any mouse button), under its
// designed name, its caption as its accessible name.
panel::MouseButton* pressButton(const QString& caption, const char* name, QWidget* parent);

class TFormDopParam : public QWidget {
  Q_OBJECT
 public:
  explicit TFormDopParam(WindowContext& context, QWidget* parent = nullptr);

 private:
  void readParameter(int index);
  void writeAll();  // Button7

  WindowContext& ctx_;
  QLineEdit* fields_[3] = {};
};

}  // namespace calorix
