#pragma once
// Where a run's data log has no frames: the line written when a run's tick
// reads no frame (the port lost, the controller silent), and the one written
// when frames come again. Every data log may carry them, between its data
// lines; the log readers know them and take them for neither data nor
// damage, so a log with a gap reads to the samples it would hold without it.
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace calorix::plot::loggap {

// "--- " + the LineStamp of the first tick that read nothing + what it means.
QString started(const QString& lineStamp);
// "--- " + the LineStamp of the first frame read again + what it means.
QString ended(const QString& lineStamp);

// Either line, as it stands in the file (Windows-1251 bytes or text, with or
// without its line end).
bool isGapLine(QByteArrayView line);
bool isGapLine(QStringView line);

}  // namespace calorix::plot::loggap
