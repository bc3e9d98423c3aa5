#pragma once
// The telemetry log of the P/B stream, written and read in one place: no
// header; a line a frame, the LineStamp and then " ; " before each of eight
// value texts as the main window shows them.
#include <QByteArrayView>
#include <QString>
#include <QTime>

#include <array>
#include <vector>

#include "plot/TrendSample.h"

namespace calorix::plot::streamlog {

// The value texts, in the order written: EditTempTP, EditPUV, EditDUV,
// EditIUV, EditAllUV, EditTecErr, EditSumErr, EditPN.
enum Value : int {
  kTemperature,
  kPUV,
  kDUV,
  kIUV,
  kTotalAction,
  kError,  // the raw RAM word: 1/256 °C
  kErrorSum,
  kHeaterPower,
  kValueCount
};
using Values = std::array<QString, kValueCount>;

// The line of one frame; the first "." of the three actions' texts becomes
// "," as the log has always carried them.
QString line(const QString& lineStamp, const Values& values);

// A line's fields (split at ";"): its time of day and its quantities into
// sample, the error in °C. false when the line is not one of this log.
bool read(const std::vector<QByteArrayView>& fields, QTime& time, Sample& sample);

}  // namespace calorix::plot::streamlog
