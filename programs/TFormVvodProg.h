#pragma once
// The program table window.
#include <QWidget>

#include "app/WindowContext.h"

namespace calorix {

class TFormVvodProg : public QWidget {
  Q_OBJECT
 public:
  explicit TFormVvodProg(WindowContext& context, QWidget* parent = nullptr);

 private:
  WindowContext& ctx_;
};

}  // namespace calorix
