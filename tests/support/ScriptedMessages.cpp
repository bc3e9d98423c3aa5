#include "tests/support/ScriptedMessages.h"

namespace calorix::testing {

void ScriptedMessages::show(const QString& text) {
  shown << text;
  if (whileOpen) whileOpen();
}

bool ScriptedMessages::askOkCancel(const QString& text) {
  asked << text;
  if (whileOpen) whileOpen();
  if (answers.empty()) return true;
  bool ok = answers.front();
  answers.pop_front();
  return ok;
}

}  // namespace calorix::testing
