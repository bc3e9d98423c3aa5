#include "plot/PuskWorkLog.h"

#include <QStringList>

#include "plot/LogFields.h"

namespace calorix::plot::pusklog {

QString title() {
  return QString::fromUtf8("Данные работы ");
}

QString columns() {
  return QString::fromUtf8(
      "  1 номер ;  2 время   ;  3 программа  ;  4 ступень  ;  5 температура  ;");
}

QString line(const QString& number, const QString& lineStamp, const QString& program,
             const QString& stage, const QString& temperature) {
  return QStringList{number, lineStamp, program, stage, temperature}.join(QStringLiteral("  ;  "));
}

bool isHeader(QStringView trimmed) {
  static const QString titleText = title().trimmed();
  static const QString numberColumn = QString::fromUtf8("1 номер");
  static const QString ownColumn = QString::fromUtf8("3 программа");
  return trimmed == titleText || (trimmed.startsWith(numberColumn) && trimmed.contains(ownColumn));
}

bool read(const std::vector<QByteArrayView>& fields, QTime& time, Sample& sample) {
  if (fields.size() != kFieldCount || !logfield::integer(fields[kNumber])) return false;
  const auto at = logfield::timeOfDay(fields[kTime]);
  const auto program = logfield::integer(fields[kProgram]);
  const auto stage = logfield::integer(fields[kStage]);
  if (!at || !program || !stage) return false;
  time = *at;
  sample.program = *program;
  sample.stage = *stage;
  sample.set(Quantity::Temperature, logfield::number(fields[kTemperature]));
  return true;
}

}  // namespace calorix::plot::pusklog
