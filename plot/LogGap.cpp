#include "plot/LogGap.h"

namespace calorix::plot::loggap {

namespace {

// No data line begins so: theirs begin with a frame number or a time of day.
constexpr char kMark[] = "--- ";

QString marked(const QString& lineStamp, const char* what) {
  return QString::fromLatin1(kMark) + lineStamp.trimmed() + QStringLiteral("  ") +
         QString::fromUtf8(what);
}

}  // namespace

QString started(const QString& lineStamp) {
  return marked(lineStamp, "нет связи с контроллером: кадры не читаются");
}

QString ended(const QString& lineStamp) {
  return marked(lineStamp, "связь восстановлена");
}

bool isGapLine(QByteArrayView line) {
  return line.trimmed().startsWith(QByteArrayView(kMark));
}

bool isGapLine(QStringView line) {
  return line.trimmed().startsWith(QLatin1StringView(kMark));
}

}  // namespace calorix::plot::loggap
