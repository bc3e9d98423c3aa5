#include "ui/ReadIntegrity.h"

#include <QLineEdit>
#include <QVariant>

namespace calorix::ui {

namespace {
// The text the failed read left in the field.
constexpr const char* kUnreadText = "calorixUnreadText";
}  // namespace

QString memoryRefusedText() {
  return QString::fromUtf8(
      "Память контроллера не читается и не записывается во время работы (Пуск или нагрев из "
      "окна работы с ПИДом): кадры контроллера занимают линию. Остановите работу и повторите.");
}

bool refusedDuringRun(WindowContext& context) {
  const RunState& run = context.run;
  if (run.PidRunActive != 1 && run.PuskFlag != 1) return false;
  context.messages.show(memoryRefusedText());
  return true;
}

void markRead(QLineEdit* field, bool whole) {
  field->setProperty(kUnreadText, whole ? QVariant() : QVariant(field->text()));
}

bool unread(const QLineEdit* field) {
  const QVariant left = field->property(kUnreadText);
  return left.isValid() && left.toString() == field->text();
}

QString unreadRefusedText(const QStringList& names) {
  return QString::fromUtf8(
             "Запись не выполнена: не прочитано из контроллера (нет ответа или ответ неполный): "
             "%1. Прочитайте снова или введите значения.")
      .arg(names.join(QStringLiteral(", ")));
}

QString fieldsNotReadText(const QStringList& names, bool stopped) {
  const QString prefix =
      stopped ? QString::fromUtf8("Контроллер не отвечает: чтение остановлено. ") : QString();
  return prefix + QString::fromUtf8(
                      "Не прочитано из контроллера (нет ответа или ответ неполный): %1. "
                      "Эти поля оставлены пустыми.")
                      .arg(names.join(QStringLiteral(", ")));
}

QString fieldsNotConfirmedText(const QStringList& names, bool stopped) {
  return QString::fromUtf8("Запись не подтверждена контроллером: %1%2. Прочитайте и проверьте.")
      .arg(names.join(QStringLiteral(", ")),
           stopped ? QString::fromUtf8(" (следующие поля не записаны)") : QString());
}

}  // namespace calorix::ui
