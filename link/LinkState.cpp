// The texts of the link status.
#include "link/LinkState.h"

namespace calorix::status_text {

QString done() {
  return QString::fromUtf8("Выполнено");
}
QString noAnswerBoards() {
  return QString::fromUtf8("ошибка 1 - нет связи с платами Корунда");
}
QString noAnswer() {
  return QString::fromUtf8("ошибка 1 - нет связи с Корундом");
}
QString refused() {
  return QString::fromUtf8("ошибка 2 - команда не выполнена");
}
QString unknown() {
  return QString::fromUtf8("ошибка 254 - неизвестная ошибка");
}
QString writeFailed() {
  return QString::fromUtf8("ошибка 255 - не записалось в буфер порта");
}
QString reserved(int code) {
  switch (code) {
    case 3:
      return QString::fromUtf8("ошибка 3 - нераспознанная команда");
    case 4:
      return QString::fromUtf8("ошибка 4 - отсутствует связь с платой ШД");
    case 5:
      return QString::fromUtf8("ошибка 5 - отсутствует связь с платой видеосинхронизации");
    case 6:
      return QString::fromUtf8("ошибка 6 - главная команда нераспознана");
    default:
      return unknown();
  }
}

}  // namespace calorix::status_text
