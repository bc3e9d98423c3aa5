#pragma once
// The work log of a Пуск run, written and read in one place: two header lines
// at the start of the run, then a line a frame of five fields joined by
// "  ;  ": the frame number, the LineStamp, the program, the stage and the
// temperature.
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QTime>

#include <vector>

#include "plot/TrendSample.h"

namespace calorix::plot::pusklog {

enum Field : int { kNumber, kTime, kProgram, kStage, kTemperature, kFieldCount };

// Header line 1 ("Данные работы " with its blank) and line 2, the columns.
QString title();
QString columns();
QString line(const QString& number, const QString& lineStamp, const QString& program,
             const QString& stage, const QString& temperature);

// Either header line (trimmed).
bool isHeader(QStringView trimmed);
// A data line's fields (split at ";"): its time of day, the temperature, the
// program and the stage into sample. false when the line is not one of this log.
bool read(const std::vector<QByteArrayView>& fields, QTime& time, Sample& sample);

}  // namespace calorix::plot::pusklog
