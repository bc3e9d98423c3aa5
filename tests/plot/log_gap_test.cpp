// The gap lines a run writes where its frames stopped and came again: every
// data log reads (for calorix-cli plot and the trend window alike) to the
// same samples with them as without them, wherever they stand, and they
// count as no skipped line.
#include <gtest/gtest.h>

#include <cmath>

#include "core/Cp1251.h"
#include "plot/LogGap.h"
#include "plot/LogReader.h"
#include "tests/plot/log_writers.h"

namespace calorix::testing {
namespace {

using namespace plot;

const QByteArray kGapStart = cp1251::encode(loggap::started(QStringLiteral("12:03:30 "))) + "\r\n";
const QByteArray kGapEnd = cp1251::encode(loggap::ended(QStringLiteral("12:04:30 "))) + "\r\n";

// A Пуск work log as the run writes it: two header lines, then a line a frame.
QByteArray puskWorkLog() {
  return cp1251::encode(QString::fromUtf8(
      "Данные работы \r\n"
      "  1 номер ;  2 время   ;  3 программа  ;  4 ступень  ;  5 температура  ;\r\n"
      "0  ;  12:03:11   ;  2  ;  0  ;  400.5\r\n"
      "1  ;  12:03:15   ;  2  ;  1  ;  401\r\n"
      "2  ;  12:03:19   ;  2  ;  1  ;  402.25\r\n"
      "3  ;  12:04:31   ;  2  ;  1  ;  410\r\n"));
}

QByteArray pidRunLog() {
  LogWriter w;
  std::vector<qint64> stamps;
  return fileBytes(writePidRunLog(w, stamps));
}

QByteArray streamLog() {
  LogWriter w;
  return fileBytes(writeStreamLog(w, 6));
}

// The log's lines with the gap lines put in before line `at` (of its lines).
QByteArray withLines(const QByteArray& log, qsizetype at, const QByteArray& lines) {
  QList<QByteArray> parts = log.split('\n');
  parts.removeLast();  // after the last line end
  QByteArray out;
  for (qsizetype i = 0; i < parts.size(); ++i) {
    if (i == at) out += lines;
    out += parts[i] + '\n';
  }
  if (at >= parts.size()) out += lines;
  return out;
}

TEST(LogGap, EveryLogReadsToTheSameSamplesWhereverItsGapLinesStand) {
  struct Kind {
    const char* name;
    QByteArray log;
    int firstData;  // the index of its first data line
  };
  const Kind kinds[] = {
      {"Пуск work log", puskWorkLog(), 2},
      {"PID run log", pidRunLog(), 2},
      {"telemetry log", streamLog(), 0},
  };
  for (const Kind& k : kinds) {
    const LogReadResult clean = parseLog(k.log, QDate(2026, 3, 5));
    ASSERT_GE(clean.samples.size(), 4u) << k.name;
    const int lines = int(k.log.count('\n'));
    const struct {
      const char* where;
      qsizetype at;
      QByteArray lines;
    } placements[] = {
        // A run that starts without a frame.
        {"before the first data line", k.firstData, kGapStart + kGapEnd},
        {"around the third data line", k.firstData + 2, kGapStart},
        {"the end after it", k.firstData + 3, kGapEnd},
        {"the log's last line", lines, kGapStart},  // a stream that lost its port
        {"the log's first line", 0, kGapStart},
    };
    for (const auto& p : placements) {
      SCOPED_TRACE(std::string(k.name) + ", " + p.where);
      const LogReadResult r = parseLog(withLines(k.log, p.at, p.lines), QDate(2026, 3, 5));
      EXPECT_EQ(r.kind, clean.kind);
      EXPECT_EQ(r.skippedLines, 0);
      EXPECT_TRUE(r.error.isEmpty()) << r.error.toStdString();
      ASSERT_EQ(r.samples.size(), clean.samples.size());
      for (std::size_t i = 0; i < r.samples.size(); ++i) {
        EXPECT_EQ(r.samples[i].timeMs, clean.samples[i].timeMs) << i;
        for (const QuantityInfo& q : kQuantities) {
          const double got = r.samples[i].value(q.quantity),
                       want = clean.samples[i].value(q.quantity);
          EXPECT_TRUE(got == want || (std::isnan(got) && std::isnan(want))) << q.key << " " << i;
        }
      }
    }
  }
}

}  // namespace
}  // namespace calorix::testing
