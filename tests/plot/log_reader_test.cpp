// The three data logs read back, each written by the console's own writers:
// the PID run log by the PID window's line builders, the Пуск work log by a
// Пуск run of the whole console, the telemetry log by the stream's decoder
// and line builder; then the same bytes spoiled the ways files get spoiled.
#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <array>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/Cp1251.h"
#include "core/NumberText.h"
#include "pid/PidFrameDecode.h"
#include "pid/StreamFrameDecode.h"
#include "plot/LogReader.h"
#include "plot/TrendStore.h"
#include "tests/plot/log_writers.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/TestApplication.h"

namespace calorix::testing {
namespace {

using namespace calorix::plot;

class PidRunLog : public ::testing::TestWithParam<char> {};

TEST_P(PidRunLog, EveryLineReadsBackWithItsQuantitiesAndTheDirectorysDate) {
  SeparatorScope separator{QLatin1Char(GetParam())};
  LogWriter w;
  std::vector<qint64> stamps;
  const QString path = writePidRunLog(w, stamps);
  ASSERT_TRUE(path.contains(QStringLiteral("/2026/03/05/"))) << path.toStdString();

  const LogReadResult r = readLog(path);
  EXPECT_EQ(r.kind, LogKind::PidRun);
  EXPECT_EQ(r.skippedLines, 0);
  EXPECT_TRUE(r.error.isEmpty());
  ASSERT_EQ(r.samples.size(), 4u);
  const double temperatures[] = {400.5, 401.25, 402, 403.75};
  const double speeds[] = {3, 2.5, -1, 0};
  for (std::size_t i = 0; i < 4; ++i) {
    const Sample& s = r.samples[i];
    SCOPED_TRACE(i);
    EXPECT_EQ(s.timeMs, stamps[i]);
    EXPECT_EQ(s.source, Source::Log);
    EXPECT_DOUBLE_EQ(s.value(Quantity::Temperature), temperatures[i]);
    EXPECT_DOUBLE_EQ(s.value(Quantity::TempCorrected), temperatures[i] - 1);
    EXPECT_DOUBLE_EQ(s.value(Quantity::HeatingSpeed), speeds[i]);
    EXPECT_DOUBLE_EQ(s.value(Quantity::Error), -2.5);
    EXPECT_DOUBLE_EQ(s.value(Quantity::PAction), -1.5);
    EXPECT_DOUBLE_EQ(s.value(Quantity::IAction), 0.25);
    EXPECT_DOUBLE_EQ(s.value(Quantity::DAction), 0);
    EXPECT_DOUBLE_EQ(s.value(Quantity::HeaterPower), 37);
    EXPECT_DOUBLE_EQ(s.value(Quantity::SetSpeed), 5);
    // Not in this log: the set temperature, the total action, program and stage.
    EXPECT_FALSE(s.has(Quantity::SetTemperature));
    EXPECT_FALSE(s.has(Quantity::TotalAction));
    EXPECT_EQ(s.program, -1);
    EXPECT_EQ(s.stage, -1);
  }
}

INSTANTIATE_TEST_SUITE_P(BothSeparators, PidRunLog, ::testing::Values(',', '.'));

// ---- Пуск work log --------------------------------------------------------------------

TEST(PuskWorkLog, ARunOfTheConsoleReadsBackWithItsProgramAndStages) {
  testApplication();
  SeparatorScope separator{QLatin1Char(',')};
  ConsoleHarness h;
  QDir().mkpath(h.harness().dataRoot());
  h.password = QStringLiteral("52738416");
  h.start(QStringLiteral("[Vid prog]\r\nVidProg=4\r\n[Dir]\r\nDirAll=") + h.harness().dataRoot() +
          QStringLiteral("/logs\r\n"));
  h.show();
  auto& memory = h.ctrl().memory();
  auto setStage = [&](int stage, double temperature, bool heater) {
    memory.ram[ram::kProgramNumber] = 2;
    memory.ram[ram::kStageNumber] = std::uint8_t(stage);
    memory.ram[ram::kFlags] = heater ? ctl::flags::kHeaterOn : 0;
    memory.setRamDWord(ram::kTemperature, std::uint32_t(temperature * 256));
  };
  setStage(0, 20.5, true);
  auto* key = h.form1().findChild<QWidget*>(QStringLiteral("ShapePuskStopTop"));
  ASSERT_NE(key, nullptr);
  QTest::mousePress(key, Qt::LeftButton, {}, key->rect().center());
  QTest::mouseRelease(key, Qt::LeftButton, {}, key->rect().center());
  const QString path = h.link().dataLogPath();
  auto& timer = h.form1().parts().puskRun();
  auto tickAfter4s = [&](int stage, double temperature, bool heater) {
    setStage(stage, temperature, heater);
    h.clock().advance(4000);
    timer.tick();
  };
  tickAfter4s(1, 25.25, true);
  tickAfter4s(1, 30, true);
  tickAfter4s(2, 35.75, true);
  tickAfter4s(3, 36, false);  // the controller has ended the program: the run stops
  EXPECT_FALSE(h.link().dataLogOpen());

  const LogReadResult r = readLog(path);
  EXPECT_EQ(r.kind, LogKind::PuskWork);
  EXPECT_EQ(r.skippedLines, 0);
  ASSERT_EQ(r.samples.size(), 5u);
  const double temperatures[] = {20.5, 25.25, 30, 35.75, 36};
  const int stages[] = {0, 1, 1, 2, 3};
  TrendStore store;
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_DOUBLE_EQ(r.samples[i].value(Quantity::Temperature), temperatures[i]);
    EXPECT_EQ(r.samples[i].program, 2);
    EXPECT_EQ(r.samples[i].stage, stages[i]);
    EXPECT_FALSE(r.samples[i].has(Quantity::HeaterPower));
    if (i) {
      EXPECT_GE(r.samples[i].timeMs - r.samples[i - 1].timeMs, 4000);
    }
    store.append(r.samples[i]);
  }
  EXPECT_EQ(QDateTime::fromMSecsSinceEpoch(r.samples[0].timeMs).date(), QDate(2026, 3, 5));
  ASSERT_EQ(store.stageMarks().size(), 4u);  // stages 0, 1, 2, 3
  EXPECT_EQ(store.stageMarks()[2].stage, 2);
  h.close();
}

// ---- telemetry log -------------------------------------------------------------------

TEST(StreamLog, EveryFrameReadsBackWithTheErrorInDegrees) {
  LogWriter w;
  const qint64 startMs = stampMs(w.h.clock());
  const LogReadResult r = readLog(writeStreamLog(w, 50));
  EXPECT_EQ(r.kind, LogKind::Stream);
  EXPECT_EQ(r.skippedLines, 0);
  ASSERT_EQ(r.samples.size(), 50u);
  const Sample& s = r.samples[7];
  EXPECT_DOUBLE_EQ(s.value(Quantity::Temperature), 407);
  EXPECT_DOUBLE_EQ(s.value(Quantity::PAction), -2.25);
  EXPECT_DOUBLE_EQ(s.value(Quantity::DAction), 0.5);
  EXPECT_DOUBLE_EQ(s.value(Quantity::IAction), 1);
  EXPECT_DOUBLE_EQ(s.value(Quantity::TotalAction), -37);
  EXPECT_DOUBLE_EQ(s.value(Quantity::Error), -2.5);
  EXPECT_DOUBLE_EQ(s.value(Quantity::HeaterPower), 60);
  EXPECT_FALSE(s.has(Quantity::TempCorrected));
  EXPECT_EQ(s.stage, -1);
  // Whole seconds: 50 frames of 25 ms span the stamp of the start and the next second or two.
  EXPECT_GE(r.samples.front().timeMs, startMs);
  EXPECT_LE(r.samples.back().timeMs - startMs, 2000);
}

// ---- spoiled files ---------------------------------------------------------------------

struct Spoiled {
  const char* name;
  QByteArray (*spoil)(const QByteArray& log);
  LogKind kind;
  int samples;  // of the 20 lines written
  int skipped;
  bool error;
};

QByteArray insertGarbage(const QByteArray& log) {
  QList<QByteArray> lines = log.split('\n');
  lines.insert(5, cp1251::encode(QString::fromUtf8("Разрыв файла\r")));
  lines.insert(9, QByteArray("12:00:00  ; 1 ; 2\r"));  // a line cut in the middle
  lines.insert(12, QByteArray("\x01\x02\xff\xfe garbage\r"));
  lines.insert(14, QByteArray("\r"));  // a blank line is nothing
  return lines.join('\n');
}

QByteArray insertNotes(const QByteArray& log) {
  QList<QByteArray> lines = log.split('\n');
  lines.insert(7, cp1251::encode(QString::fromUtf8("12:03:08  разрыв связи 00:00:05\r")));
  lines.insert(0, cp1251::encode(QString::fromUtf8("12:03:07  ; нет связи\r")));
  return lines.join('\n');
}

const Spoiled kSpoiled[] = {
    {"as written", [](const QByteArray& b) { return b; }, LogKind::Stream, 20, 0, false},
    {"empty file", [](const QByteArray&) { return QByteArray(); }, LogKind::Unknown, 0, 0, false},
    {"LF alone", [](const QByteArray& b) { return QByteArray(b).replace("\r\n", "\n"); },
     LogKind::Stream, 20, 0, false},
    {"garbage lines", insertGarbage, LogKind::Stream, 20, 3, false},
    // Cut inside the last value: "60" would read as "6".
    {"truncated last line", [](const QByteArray& b) { return b.left(b.size() - 3); },
     LogKind::Stream, 19, 1, false},
    {"UTF-16",
     [](const QByteArray& b) {
       const QString text = QString::fromLatin1(b);
       return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
     },
     LogKind::Unknown, 0, 21, true},  // and the lone NUL after the last line end
    {"not a log at all", [](const QByteArray&) { return QByteArray("hello\r\nworld\r\n"); },
     LogKind::Unknown, 0, 2, true},
    // A line of a kind the console does not write yet (say, a note that the line was out), first
    // and among the data: skipped and counted, the log still known by its data lines.
    {"lines of a kind not known yet", insertNotes, LogKind::Stream, 20, 2, false},
};

TEST(SpoiledLog, LinesThatAreNotLogLinesAreSkippedAndCountedNeverMisread) {
  LogWriter w;
  const QByteArray log = fileBytes(writeStreamLog(w, 20));
  const LogReadResult clean = parseLog(log, QDate(2026, 3, 5));
  for (const Spoiled& c : kSpoiled) {
    SCOPED_TRACE(c.name);
    const LogReadResult r = parseLog(c.spoil(log), QDate(2026, 3, 5));
    EXPECT_EQ(r.kind, c.kind);
    ASSERT_EQ(int(r.samples.size()), c.samples);
    EXPECT_EQ(r.skippedLines, c.skipped);
    EXPECT_EQ(!r.error.isEmpty(), c.error);
    for (std::size_t i = 0; i < r.samples.size(); ++i) {
      EXPECT_EQ(r.samples[i].timeMs, clean.samples[i].timeMs);
      for (const QuantityInfo& q : kQuantities) {
        const double got = r.samples[i].value(q.quantity),
                     want = clean.samples[i].value(q.quantity);
        EXPECT_TRUE(got == want || (std::isnan(got) && std::isnan(want))) << q.key << " " << i;
      }
    }
  }
}

// A run log in UTF-8 rather than Windows-1251: its headers are not recognised
// (and counted), its data lines, plain ASCII, still are.
TEST(SpoiledLog, ARunLogInAnotherEncodingKeepsItsDataLines) {
  SeparatorScope separator{QLatin1Char(',')};
  LogWriter w;
  std::vector<qint64> stamps;
  const QByteArray log = fileBytes(writePidRunLog(w, stamps));
  const LogReadResult r = parseLog(cp1251::decode(log).toUtf8(), QDate(2026, 3, 5));
  EXPECT_EQ(r.kind, LogKind::PidRun);
  EXPECT_EQ(r.samples.size(), 4u);
  EXPECT_EQ(r.skippedLines, 2);
}

// A log goes on in the directory of the day it started in; the line after
// midnight belongs to the next day.
TEST(SpoiledLog, ALogThatRunsPastMidnightGoesOnIntoTheNextDay) {
  const QByteArray log =
      "23:59:58  ; 400 ; 0 ; 0 ; 0 ; 0 ; 0 ; 0 ; 0\r\n"
      "23:59:59  ; 401 ; 0 ; 0 ; 0 ; 0 ; 0 ; 0 ; 0\r\n"
      "00:00:00  ; 402 ; 0 ; 0 ; 0 ; 0 ; 0 ; 0 ; 0\r\n";
  const LogReadResult r = parseLog(log, QDate(2026, 3, 5));
  ASSERT_EQ(r.samples.size(), 3u);
  EXPECT_EQ(r.samples[2].timeMs, QDateTime(QDate(2026, 3, 6), QTime(0, 0)).toMSecsSinceEpoch());
  EXPECT_EQ(r.samples[2].timeMs - r.samples[1].timeMs, 1000);
}

// ---- streaming ------------------------------------------------------------------------

// The reader keeps only the line it is in: a log fed in pieces of any size,
// its lines cut anywhere between two pieces, reads as the whole file does;
// so does the file streamed from disk, with its progress up to its size.
TEST(StreamingReader, PiecesOfAnySizeReadAsTheWholeFile) {
  SeparatorScope separator{QLatin1Char(',')};
  LogWriter w;
  std::vector<qint64> stamps;
  const QString path = writePidRunLog(w, stamps);
  QByteArray log = fileBytes(path);
  // A line of another kind, one longer than any log line, and a last line cut off.
  log.insert(log.indexOf('\n') + 1,
             "not a line of this log\r\n" + QByteArray(70'000, '7') + "\r\n");
  log += "5  ;  12:00:0";
  const LogReadResult whole = parseLog(log, QDate(2026, 3, 5));
  ASSERT_EQ(whole.samples.size(), 4u);
  EXPECT_EQ(whole.skippedLines, 3);

  const auto expectWhole = [&](const LogSummary& summary, const std::vector<Sample>& got) {
    EXPECT_EQ(summary.kind, LogKind::PidRun);
    EXPECT_EQ(summary.skippedLines, whole.skippedLines);
    EXPECT_EQ(summary.samples, got.size());
    ASSERT_EQ(got.size(), whole.samples.size());
    for (std::size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].timeMs, whole.samples[i].timeMs);
      for (const QuantityInfo& q : kQuantities) {
        const double a = got[i].value(q.quantity), b = whole.samples[i].value(q.quantity);
        EXPECT_TRUE(a == b || (std::isnan(a) && std::isnan(b))) << q.key << " " << i;
      }
    }
  };
  for (const qsizetype piece : {1, 2, 3, 5, 64, 4096, 65'537}) {
    SCOPED_TRACE(piece);
    std::vector<Sample> got;
    LogParser parser(QDate(2026, 3, 5), [&got](const Sample& s) { got.push_back(s); });
    for (qsizetype at = 0; at < log.size(); at += piece)
      parser.feed(QByteArrayView(log).sliced(at, std::min(piece, log.size() - at)));
    expectWhole(parser.finish(), got);
  }

  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.write(log);
  file.close();
  std::vector<Sample> got;
  qint64 lastDone = 0;
  const LogSummary summary = streamLog(
      path, [&got](const Sample& s) { got.push_back(s); },
      [&](qint64 done, qint64 size) {
        EXPECT_GT(done, lastDone);
        EXPECT_EQ(size, log.size());
        lastDone = done;
      });
  expectWhole(summary, got);
  EXPECT_EQ(lastDone, log.size());
}

// A log written through the zone's clock changes reads back to the moments
// its lines were written: on in spring across the hour the clock skips, and
// in autumn through the hour it shows twice (the reader asks the zone once a
// quarter hour, and line by line near a change).
TEST(StreamingReader, ALogThroughAClockChangeReadsBackToItsMoments) {
  const QByteArray tzBefore = qgetenv("TZ");
  qputenv("TZ", "Europe/Berlin");
  for (const QDate day : {QDate(2026, 3, 29), QDate(2026, 10, 25)}) {
    SCOPED_TRACE(day.toString().toStdString());
    const qint64 midnightUtc = QDateTime(day, QTime(0, 0), Qt::UTC).toMSecsSinceEpoch();
    QByteArray log;
    std::vector<qint64> written;
    // From 21:00 UTC the day before (local 22:00 or 23:00) to 03:00 UTC, a line every 37 s.
    for (qint64 ms = midnightUtc - 3 * 3'600'000; ms < midnightUtc + 3 * 3'600'000; ms += 37'000) {
      written.push_back(ms);
      const QTime local = QDateTime::fromMSecsSinceEpoch(ms).time();
      log += local.toString(QStringLiteral("HH:mm:ss")).toLatin1() +
             "  ; 400 ; 0 ; 0 ; 0 ; 0 ; 0 ; 0 ; 0\r\n";
    }
    const LogReadResult r = parseLog(log, day.addDays(-1));
    ASSERT_EQ(r.samples.size(), written.size());
    for (std::size_t i = 0; i < written.size(); ++i)
      EXPECT_EQ(r.samples[i].timeMs, written[i])
          << QDateTime::fromMSecsSinceEpoch(written[i]).toString().toStdString();
  }
  if (tzBefore.isNull())
    qunsetenv("TZ");
  else
    qputenv("TZ", tzBefore);
}

}  // namespace
}  // namespace calorix::testing
