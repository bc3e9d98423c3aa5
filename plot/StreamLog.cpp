#include "plot/StreamLog.h"

#include "plot/LogFields.h"

namespace calorix::plot::streamlog {
namespace {

// The stamp, then the values.
constexpr std::size_t kFields = 1 + kValueCount;
// The error is logged as the raw RAM word.
constexpr double kErrorScale = 256.0;

struct ValueOf {
  Value value;
  Quantity quantity;
};
constexpr std::array<ValueOf, 6> kRead{{
    {kTemperature, Quantity::Temperature},
    {kPUV, Quantity::PAction},
    {kDUV, Quantity::DAction},
    {kIUV, Quantity::IAction},
    {kTotalAction, Quantity::TotalAction},
    {kHeaterPower, Quantity::HeaterPower},
}};

}  // namespace

QString line(const QString& lineStamp, const Values& values) {
  QString out = lineStamp;
  for (int i = 0; i < kValueCount; ++i) {
    QString text = values[std::size_t(i)];
    if (i == kPUV || i == kDUV || i == kIUV) {
      const qsizetype dot = text.indexOf(QLatin1Char('.'));
      if (dot >= 0) text[dot] = QLatin1Char(',');
    }
    out += QStringLiteral(" ; ") + text;
  }
  return out;
}

bool read(const std::vector<QByteArrayView>& fields, QTime& time, Sample& sample) {
  if (fields.size() != kFields) return false;
  const auto at = logfield::timeOfDay(fields[0]);
  if (!at) return false;
  time = *at;
  const auto valueField = [&fields](Value v) { return fields[1 + std::size_t(v)]; };
  for (const ValueOf& v : kRead) sample.set(v.quantity, logfield::number(valueField(v.value)));
  sample.set(Quantity::Error, logfield::number(valueField(kError)) / kErrorScale);
  return true;
}

}  // namespace calorix::plot::streamlog
