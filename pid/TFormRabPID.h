#pragma once
// The PID work window window.
#include <QWidget>

#include "ui/WindowContext.h"

namespace calorix {

class TFormRabPID : public QWidget {
  Q_OBJECT
 public:
  explicit TFormRabPID(WindowContext& context, QWidget* parent = nullptr);

 private:
  WindowContext& ctx_;
};

}  // namespace calorix
