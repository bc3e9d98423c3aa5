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
  // Reads the parameters from..to-1 in order; a read not answered whole
  // leaves its field and those after it empty and marked, and says so.
  void readParameters(int from, int to);
  void writeAll();  // Button7

  WindowContext& ctx_;
  QLineEdit* fields_[3] = {};
};

}  // namespace calorix
