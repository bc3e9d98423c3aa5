#pragma once
// The additional parameters window.
#include <QWidget>

#include "app/WindowContext.h"

namespace calorix {

class TFormDopParam : public QWidget {
  Q_OBJECT
 public:
  explicit TFormDopParam(WindowContext& context, QWidget* parent = nullptr);

 private:
  WindowContext& ctx_;
};

}  // namespace calorix
