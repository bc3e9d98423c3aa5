#pragma once
// The current-program editor window.
#include <QWidget>

#include "app/WindowContext.h"

namespace calorix {

class TFormDataDide : public QWidget {
  Q_OBJECT
 public:
  explicit TFormDataDide(WindowContext& context, QWidget* parent = nullptr);

 private:
  WindowContext& ctx_;
};

}  // namespace calorix
