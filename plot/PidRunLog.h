#pragma once
// The PID run log of a PID-window run, written and read in one place: two
// header lines at the start of the run, then one line of 23 fields a frame,
// joined by "  ;  ". The PID work window builds the field texts; this is
// where they stand in the line and what the trend reads back from them.
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <QTime>

#include <array>
#include <vector>

#include "plot/TrendSample.h"

namespace calorix::plot::pidlog {

// The fields of a data line, in the order written (the header's columns 1..22,
// the temperature's change "3-1скор" counted with column 3).
enum Field : int {
  kNumber,           // EditNumIzm
  kTime,             // LineStamp
  kTemperature,      // EditTNoOp
  kChange,           // over the last twelve measurements
  kError,            // EditErrTTec
  kPreviousError,    // EditErrPred
  kErrorSum,         // EditErrSumm
  kPowerLimit,       // EditOPN
  kComputedPower,    // EditRPN
  kHeaterPower,      // EditPN
  kPUV,              // EditPUV
  kIUV,              // EditIUV
  kDUV,              // EditDUV
  kRoomSensor,       // EditDKT
  kVoltage,          // EditVUT
  kTheoreticalTemp,  // EditTempTermT
  kCorrectedTemp,    // EditTAB
  kCurrentTemp,      // Edit3
  kHeatingSpeed,     // Edit4
  kSetSpeed,         // Edit5
  kSpeedAction,      // Edit11 and Edit8
  kSpeedErrorSum,    // Edit10 and Edit9
  kSpeedPower,       // Edit7
  kFieldCount
};
using Fields = std::array<QString, kFieldCount>;

// Header line 1 from the coefficient, set temperature and set speed texts at
// the start. No separator before "ZadSpeed = ": run logs have always carried
// the line so.
QString title(const QString& pk, const QString& dk, const QString& ik,
              const QString& setTemperature, const QString& setSpeed);
// Header line 2: the column names.
QString columns();
QString line(const Fields& fields);

// Either header line (trimmed).
bool isHeader(QStringView trimmed);
// A data line's fields (split at ";"): its time of day and its quantities
// into sample. false when the line is not one of this log.
bool read(const std::vector<QByteArrayView>& fields, QTime& time, Sample& sample);

}  // namespace calorix::plot::pidlog
