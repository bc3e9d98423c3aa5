#pragma once
// Message boxes and the password prompt go through this, so tests can answer
// them instead of blocking on a modal dialog.
#include <QString>

namespace calorix {

class Messages {
 public:
  virtual ~Messages() = default;
  // A message box with OK (errors, abandoned actions, file errors).
  virtual void show(const QString& text) = 0;
  // A warning box with OK and Cancel; true for OK, false for Cancel or closed.
  virtual bool askOkCancel(const QString& text) = 0;
};

}  // namespace calorix
