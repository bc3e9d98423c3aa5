// Each data log's writer and reader live in one home: a line built by the
// writer from a distinct text in every field reads back with every quantity
// taken from the field its writer put it in, and each header line is known
// by its own log only.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "core/Cp1251.h"
#include "plot/LogFields.h"
#include "plot/PidRunLog.h"
#include "plot/PuskWorkLog.h"
#include "plot/StreamLog.h"

namespace calorix::testing {
namespace {

using namespace calorix::plot;
using Reader = bool (*)(const std::vector<QByteArrayView>&, QTime&, Sample&);

struct RoundTrip {
  const char* name;
  std::function<QString()> write;
  Reader read;
  std::vector<std::pair<Quantity, double>> values;  // every other quantity absent
  int program = -1, stage = -1;
};

QString pidLine(const std::function<void(pidlog::Fields&)>& change = {}) {
  pidlog::Fields f;
  for (int i = 0; i < pidlog::kFieldCount; ++i) f[std::size_t(i)] = QString::number(100 + i) + ",5";
  f[pidlog::kNumber] = QStringLiteral("13");
  f[pidlog::kTime] = QStringLiteral("09:05:03 ");
  f[pidlog::kError] = QStringLiteral("-104,5");
  f[pidlog::kHeatingSpeed] = QStringLiteral("-118,5");
  f[pidlog::kSpeedAction] = QStringLiteral("+120,5");
  if (change) change(f);
  return pidlog::line(f);
}

// What the PID line above reads back as, with the temperature of the field it is taken from.
std::vector<std::pair<Quantity, double>> pidValues(double temperature) {
  return {{Quantity::Temperature, temperature}, {Quantity::Error, -104.5},
          {Quantity::HeaterPower, 109.5},       {Quantity::PAction, 110.5},
          {Quantity::IAction, 111.5},           {Quantity::DAction, 112.5},
          {Quantity::TempCorrected, 116.5},     {Quantity::HeatingSpeed, -118.5},
          {Quantity::SetSpeed, 119.5}};
}

const RoundTrip kRoundTrips[] = {
    {"PID run log", [] { return pidLine(); }, pidlog::read, pidValues(102.5)},
    // The current temperature stands twice in the line; the second serves.
    {"PID run log, the temperature read from its second column",
     [] {
       return pidLine([](pidlog::Fields& f) { f[pidlog::kTemperature] = QStringLiteral("?"); });
     },
     pidlog::read, pidValues(117.5)},
    {"Пуск work log",
     [] {
       return pusklog::line(QStringLiteral("0"), QStringLiteral("09:05:03 "), QStringLiteral("2"),
                            QStringLiteral("7"), QStringLiteral("401,25"));
     },
     pusklog::read,
     {{Quantity::Temperature, 401.25}},
     2,
     7},
    {"telemetry log",
     [] {
       return streamlog::line(
           QStringLiteral("09:05:03 "),
           {QStringLiteral("407"), QStringLiteral(" 2.25"), QStringLiteral("- 0.50"),
            QStringLiteral("12.00"), QStringLiteral("-37"), QStringLiteral("-640"),
            QStringLiteral("123"), QStringLiteral("60")});
     },
     streamlog::read,
     {{Quantity::Temperature, 407},
      {Quantity::PAction, 2.25},
      {Quantity::DAction, -0.5},
      {Quantity::IAction, 12},
      {Quantity::TotalAction, -37},
      {Quantity::Error, -2.5},  // the raw word in 1/256 °C
      {Quantity::HeaterPower, 60}}},
};

TEST(DataLogFormats, WhatEachWriterWritesReadsBackToTheSameValues) {
  const std::vector<Reader> readers{pidlog::read, pusklog::read, streamlog::read};
  for (const RoundTrip& c : kRoundTrips) {
    SCOPED_TRACE(c.name);
    // Through the file's encoding, as a reader meets it.
    const QByteArray bytes = cp1251::encode(c.write());
    std::vector<QByteArrayView> fields;
    logfield::split(bytes, fields);
    QTime time;
    Sample s;
    ASSERT_TRUE(c.read(fields, time, s)) << bytes.toStdString();
    EXPECT_EQ(time, QTime(9, 5, 3));
    for (const QuantityInfo& q : kQuantities) {
      const auto want = std::find_if(c.values.begin(), c.values.end(),
                                     [&](const auto& v) { return v.first == q.quantity; });
      if (want == c.values.end())
        EXPECT_FALSE(s.has(q.quantity)) << q.key;
      else
        EXPECT_EQ(s.value(q.quantity), want->second) << q.key;
    }
    EXPECT_EQ(s.program, c.program);
    EXPECT_EQ(s.stage, c.stage);
    // No other log takes the line for one of its own.
    for (Reader other : readers) {
      if (other == c.read) continue;
      Sample ignored;
      EXPECT_FALSE(other(fields, time, ignored));
    }
  }
}

TEST(DataLogFormats, EachHeaderLineIsKnownByItsOwnLogOnly) {
  const QString pidTitle =
      pidlog::title(QStringLiteral("1,5"), QStringLiteral("0,25"), QStringLiteral("-2"),
                    QStringLiteral("900"), QStringLiteral("EditZSE"));
  const struct {
    QString line;
    bool pid, pusk;
  } cases[] = {
      {pidTitle, true, false},
      {pidlog::columns(), true, false},
      {pusklog::title(), false, true},
      {pusklog::columns(), false, true},
      {QString::fromUtf8("Данные работы RS485   "), false, false},  // the protocol file's
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line.toStdString());
    const QString trimmed = c.line.trimmed();
    EXPECT_EQ(pidlog::isHeader(trimmed), c.pid);
    EXPECT_EQ(pusklog::isHeader(trimmed), c.pusk);
  }
}

// The actions' texts carry "," for their first "." as the stream's log always has; no other
// text and no other "." changes.
TEST(DataLogFormats, TheStreamLineCommasOnlyTheActionsFirstPoint) {
  EXPECT_EQ(streamlog::line(QStringLiteral("10:15:30 "),
                            {QStringLiteral("1.5"), QStringLiteral("1.5.3"), QStringLiteral("2.0"),
                             QStringLiteral("-3.25"), QStringLiteral("4.5"), QStringLiteral("6.7"),
                             QStringLiteral("8.9"), QStringLiteral("10")}),
            QStringLiteral("10:15:30  ; 1.5 ; 1,5.3 ; 2,0 ; -3,25 ; 4.5 ; 6.7 ; 8.9 ; 10"));
}

}  // namespace
}  // namespace calorix::testing
