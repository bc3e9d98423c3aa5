#pragma once
// The coefficient editor window.
#include <QWidget>

#include "app/WindowContext.h"

namespace calorix {

class TFormIzmKoef : public QWidget {
  Q_OBJECT
 public:
  explicit TFormIzmKoef(WindowContext& context, QWidget* parent = nullptr);

 private:
  WindowContext& ctx_;
};

}  // namespace calorix
