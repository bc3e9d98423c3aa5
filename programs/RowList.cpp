#include "programs/RowList.h"

#include <QStringList>

#include "core/ProgramCodec.h"

namespace calorix {

QString rowsText(const std::vector<int>& rows) {
  QStringList parts;
  for (std::size_t i = 0; i < rows.size();) {
    std::size_t end = i;
    while (end + 1 < rows.size() && rows[end + 1] == rows[end] + 1) ++end;
    if (end - i >= 2) {
      parts << QStringLiteral("%1–%2").arg(rows[i]).arg(rows[end]);
    } else {
      for (std::size_t k = i; k <= end; ++k) parts << QString::number(rows[k]);
    }
    i = end + 1;
  }
  return parts.join(QStringLiteral(", "));
}

namespace {
QString stoppedText(const char* what, int stoppedAt) {
  return QString::fromUtf8("Контроллер не отвечает: %1 на строке %2. ")
      .arg(QString::fromUtf8(what))
      .arg(stoppedAt);
}
}  // namespace

QString readFailedText(const std::vector<int>& rows, int stoppedAt) {
  const QString text = stoppedAt > 0 ? stoppedText("чтение остановлено", stoppedAt) : QString();
  const char* said = rows.size() == 1 ? "Не прочитана строка %1: она оставлена пустой."
                                      : "Не прочитаны строки %1: они оставлены пустыми.";
  return text + QString::fromUtf8(said).arg(rowsText(rows));
}

QString writeFailedText(const std::vector<int>& rows, int stoppedAt) {
  QString text = stoppedAt > 0 ? stoppedText("запись остановлена", stoppedAt) : QString();
  std::vector<int> unconfirmed;
  for (int row : rows)
    if (stoppedAt == 0 || row < stoppedAt) unconfirmed.push_back(row);
  if (!unconfirmed.empty()) {
    const char* said = unconfirmed.size() == 1 ? "Запись строки %1 не подтверждена контроллером. "
                                               : "Запись строк %1 не подтверждена контроллером. ";
    text += QString::fromUtf8(said).arg(rowsText(unconfirmed));
  }
  if (stoppedAt > 0) {
    std::vector<int> notSent;
    for (int row = stoppedAt; row <= kTableRecords; ++row) notSent.push_back(row);
    const char* said = notSent.size() == 1 ? "Строка %1 не записана. " : "Строки %1 не записаны. ";
    text += QString::fromUtf8(said).arg(rowsText(notSent));
  }
  return text + QString::fromUtf8("Прочитайте таблицу и проверьте.");
}

QString writeRefusedText(const std::vector<int>& rows) {
  const char* said = rows.size() == 1 ? "строка %1 не прочитана" : "строки %1 не прочитаны";
  return QString::fromUtf8(
             "Запись программ не выполнена: %1 из контроллера. Прочитайте таблицу снова или "
             "введите все значения.")
      .arg(QString::fromUtf8(said).arg(rowsText(rows)));
}

}  // namespace calorix
