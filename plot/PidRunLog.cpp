#include "plot/PidRunLog.h"

#include <QStringList>

#include "plot/LogFields.h"

namespace calorix::plot::pidlog {
namespace {

const QString kSeparator = QStringLiteral("  ;  ");

// What the trend takes from a data line. The current temperature stands
// twice (0xC4 in kTemperature and kCurrentTemp): the second serves when the
// first does not read.
struct FieldOf {
  Field field;
  Quantity quantity;
};
constexpr std::array<FieldOf, 10> kRead{{
    {kTemperature, Quantity::Temperature},
    {kError, Quantity::Error},
    {kHeaterPower, Quantity::HeaterPower},
    {kPUV, Quantity::PAction},
    {kIUV, Quantity::IAction},
    {kDUV, Quantity::DAction},
    {kCorrectedTemp, Quantity::TempCorrected},
    {kCurrentTemp, Quantity::Temperature},
    {kHeatingSpeed, Quantity::HeatingSpeed},
    {kSetSpeed, Quantity::SetSpeed},
}};

}  // namespace

QString title(const QString& pk, const QString& dk, const QString& ik,
              const QString& setTemperature, const QString& setSpeed) {
  return QString::fromUtf8("Данные работы PIDа   ") + QStringLiteral("PK = ") + pk +
         QStringLiteral("   DK = ") + dk + QStringLiteral("   IK = ") + ik +
         QStringLiteral("   ZadTemp = ") + setTemperature + QStringLiteral("ZadSpeed = ") +
         setSpeed;
}

QString columns() {
  return QString::fromUtf8(
      "  1 номер ;  2 время   ;  3темп  ;  3-1скор  ;  4 разн темп ;  5 пред разн ;  6 сум разн "
      ";  7 огр м скор;  8 расч мощ ;  9 мощн на нагр ; 10  PUV; 11 IUV ; 12 DUV ; 13 датч комн ; "
      "14 U терм; 15 темп терм т; 16 темп терм отк; 17 темп тек; 18 скорость нагрева; 19 заданная "
      "скорость; 20 проп возд; 21 сумма ошибок инт; 22 мощность для скорости;");
}

QString line(const Fields& fields) {
  return QStringList(fields.begin(), fields.end()).join(kSeparator);
}

bool isHeader(QStringView trimmed) {
  static const QString titleStart = QString::fromUtf8("Данные работы PIDа");
  static const QString numberColumn = QString::fromUtf8("1 номер");
  static const QString ownColumn = QString::fromUtf8("3темп");
  return trimmed.startsWith(titleStart) ||
         (trimmed.startsWith(numberColumn) && trimmed.contains(ownColumn));
}

bool read(const std::vector<QByteArrayView>& fields, QTime& time, Sample& sample) {
  if (fields.size() != kFieldCount || !logfield::integer(fields[kNumber])) return false;
  const auto at = logfield::timeOfDay(fields[kTime]);
  if (!at) return false;
  time = *at;
  for (const FieldOf& f : kRead)
    if (!sample.has(f.quantity)) sample.set(f.quantity, logfield::number(fields[f.field]));
  return true;
}

}  // namespace calorix::plot::pidlog
