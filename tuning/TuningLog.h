#pragma once
// What the tuning assistant needs of one data log, read through plot/'s log
// readers: per line the time, the temperature, the heater power, the error,
// the regulator's actions and its sum of errors, and the coefficients the PID
// run log's first line names. This is the assistant's only contact with the
// readers: what they do not carry (the sum of errors, the header
// coefficients) is taken from the text here, and nothing else.
#include <QByteArray>
#include <QDate>
#include <QString>

#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "plot/LogReader.h"

namespace calorix::tuning {

inline constexpr double kNone = std::numeric_limits<double>::quiet_NaN();
inline bool present(double v) {
  return !std::isnan(v);
}

struct LogRow {
  double tS = 0;                           // seconds since the log's first line
  double temperature = kNone;              // °C
  double power = kNone;                    // heater power, %
  double error = kNone;                    // set point minus temperature, °C
  double errorSum = kNone;                 // the regulator's sum of errors as logged
  double p = kNone, i = kNone, d = kNone;  // the three actions, signed
  double total = kNone;                    // the total action (the stream logs it)
};

struct Coefficients {
  double kp = kNone, ki = kNone, kd = kNone;
};

struct TuningLog {
  QString name;  // the file's name, for messages
  plot::LogKind kind = plot::LogKind::Unknown;
  std::vector<LogRow> rows;
  std::optional<Coefficients> header;  // PK, IK, DK as the run started
  QString error;                       // the file could not be read as a log
};

// bytes as the console writes them; date as the log's dated directory gives it.
TuningLog tuningLogFrom(const QByteArray& bytes, QDate date, const QString& name);
TuningLog readTuningLog(const QString& path);

}  // namespace calorix::tuning
