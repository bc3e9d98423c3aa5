// The gap lines a run writes where its frames stopped and came again: every
// data log reads to the same samples with them as without them, wherever
// they stand, and they count as no skipped line; calorix-cli plot exports
// the same CSV.
#include <gtest/gtest.h>

#include <QFileInfo>

#include <cmath>
#include <functional>

#include "core/Cp1251.h"
#include "plot/LogGap.h"
#include "plot/LogReader.h"
#include "tests/cli/CliRig.h"
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

bool sameValue(double a, double b) {
  return a == b || (std::isnan(a) && std::isnan(b));
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
        for (const QuantityInfo& q : kQuantities)
          EXPECT_TRUE(sameValue(r.samples[i].value(q.quantity), clean.samples[i].value(q.quantity)))
              << q.key << " " << i;
      }
    }
  }
}

// What no run writes stays damage: a line that only looks like a gap's.
TEST(LogGap, OnlyTheGapsOwnMarkIsPassedOver) {
  for (const char* line : {"-- 12:03:30  нет связи", "---12:03:30", "- 12 ; 400"})
    EXPECT_FALSE(loggap::isGapLine(cp1251::encode(QString::fromUtf8(line)))) << line;
  EXPECT_TRUE(loggap::isGapLine(kGapStart));
  EXPECT_TRUE(loggap::isGapLine(QStringView(loggap::ended(QStringLiteral("12:04:30 ")))));
}

TEST(LogGap, PlotExportsTheSameCsvWithTheGapLines) {
  CliRig rig;
  const QByteArray log = streamLog();
  // The same name in two dated folders: the day comes from both.
  const QString plain = rig.path("plain/2026/03/05/12_03_07 Data.txt");
  const QString gapped = rig.path("gapped/2026/03/05/12_03_07 Data.txt");
  for (const auto& [path, bytes] :
       {std::pair{plain, log}, std::pair{gapped, withLines(log, 3, kGapStart + kGapEnd)}}) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
  }
  QByteArray csv[2];
  for (int i = 0; i < 2; ++i) {
    const QString out = rig.path(QStringLiteral("run%1.csv").arg(i));
    ASSERT_EQ(rig.run({"plot", i == 0 ? plain : gapped, "--csv", out}), cli::kExitOk)
        << rig.err.toStdString();
    EXPECT_TRUE(rig.out.contains(QStringLiteral("6 samples, 0 lines skipped")))
        << rig.out.toStdString();
    csv[i] = fileBytes(out);
  }
  const QList<QByteArray> want = csv[0].split('\n'), got = csv[1].split('\n');
  EXPECT_GT(want.size(), 6);
  ASSERT_EQ(got.size(), want.size());
  for (qsizetype i = 0; i < want.size(); ++i) EXPECT_EQ(got[i], want[i]) << "line " << i;
}

}  // namespace
}  // namespace calorix::testing
