#pragma once
// The RAM inspector window.
#include <QWidget>

#include "app/WindowContext.h"

namespace calorix {

class TFormDopRAM : public QWidget {
  Q_OBJECT
 public:
  explicit TFormDopRAM(WindowContext& context, QWidget* parent = nullptr);

 private:
  WindowContext& ctx_;
};

}  // namespace calorix
