#pragma once
// Message boxes of the console over QMessageBox: errors and notices with OK,
// questions with OK and Cancel. The box is modal to the active window.
#include "core/Messages.h"

namespace calorix {

class QtMessages : public Messages {
 public:
  void show(const QString& text) override;
  bool askOkCancel(const QString& text) override;
};

}  // namespace calorix
