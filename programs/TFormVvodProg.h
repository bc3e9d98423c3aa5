#pragma once
// The program table window.
#include <QWidget>

#include "app/WindowContext.h"

namespace calorix {

class TFormVvodProg : public QWidget {
  Q_OBJECT
 public:
  explicit TFormVvodProg(WindowContext& context, QWidget* parent = nullptr);
  // Grid to 51 rows, the four headers, cell-editing mode; no data cell changes.
  void InitProgGrid();

 private:
  WindowContext& ctx_;
};

}  // namespace calorix
