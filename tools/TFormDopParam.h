#pragma once
// The additional-parameters window: the set temperature, stabilisation time
// and heating speed of the stage the controller is running, as 16-bit words
// in its RAM.
#include <QWidget>

#include "ui/WindowContext.h"

class QLineEdit;

namespace calorix {

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
