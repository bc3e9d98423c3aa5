#pragma once
// Message boxes answered by the test: every text shown is recorded, OK/Cancel
// questions take their answers from a queue (OK when it is empty).
#include <QString>
#include <QStringList>

#include <deque>
#include <functional>

#include "core/Messages.h"

namespace calorix::testing {

class ScriptedMessages : public Messages {
 public:
  void show(const QString& text) override;
  bool askOkCancel(const QString& text) override;

  QStringList shown;
  QStringList asked;
  std::deque<bool> answers;
  // Runs inside every message box, as a modal box would let events run.
  std::function<void()> whileOpen;
};

}  // namespace calorix::testing
