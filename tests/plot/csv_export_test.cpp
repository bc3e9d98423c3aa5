// The CSV of a known trend: what another tool reads from it.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "core/NumberText.h"
#include "plot/CsvExport.h"
#include "plot/LogReader.h"

using namespace calorix;
using namespace calorix::plot;

namespace {

const qint64 kT0 = QDateTime(QDate(2026, 3, 5), QTime(12, 3, 7, 450)).toMSecsSinceEpoch();

TrendStore knownStore() {
  TrendStore store;
  Sample a;
  a.timeMs = kT0;
  a.set(Quantity::Temperature, 400.5);
  a.set(Quantity::HeaterPower, 37);
  Sample b;
  b.timeMs = kT0 + 4000;
  b.set(Quantity::HeaterPower, 40);
  b.set(Quantity::Error, -2.25);
  Sample c;
  c.timeMs = kT0 + 8025;
  c.set(Quantity::Temperature, 1234.125);
  for (const Sample& s : {a, b, c}) store.append(s);
  return store;
}

QStringList lines(const QByteArray& csv) {
  QStringList out = QString::fromUtf8(csv).split(QStringLiteral("\r\n"));
  if (!out.isEmpty() && out.back().isEmpty()) out.removeLast();
  return out;
}

// The time cell read back as ISO 8601 with its offset gives the sample's moment.
void expectStamp(const QString& cell, qint64 ms, const char* local) {
  EXPECT_TRUE(cell.startsWith(QLatin1String(local))) << cell.toStdString();
  EXPECT_EQ(QDateTime::fromString(cell, Qt::ISODateWithMs).toMSecsSinceEpoch(), ms)
      << cell.toStdString();
  EXPECT_TRUE(cell.contains(QRegularExpression(QStringLiteral("[+-]\\d\\d:\\d\\d$"))))
      << cell.toStdString();
}

TEST(CsvExport, HeaderIsoTimesPointDecimalsAndEmptyCellsWhateverTheLocale) {
  // A comma-decimal locale and console separator must not leak into the file.
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::Russian, QLocale::Russia));
  const QChar separator = decimalSeparator();
  setDecimalSeparator(QLatin1Char(','));
  const TrendStore store = knownStore();

  const QStringList all = lines(csvText(store, 0, 0, {}));
  ASSERT_EQ(all.size(), 4);
  EXPECT_EQ(all[0], QStringLiteral("time,temperature,heater_power,error"));
  const char* local[] = {"2026-03-05T12:03:07.450", "2026-03-05T12:03:11.450",
                         "2026-03-05T12:03:15.475"};
  const char* values[] = {",400.5,37,", ",,40,-2.25", ",1234.125,,"};
  for (int i = 0; i < 3; ++i) {
    const qsizetype comma = all[i + 1].indexOf(QLatin1Char(','));
    expectStamp(all[i + 1].left(comma), store.samples()[std::size_t(i)].timeMs, local[i]);
    EXPECT_EQ(all[i + 1].mid(comma), QLatin1String(values[i]));
  }

  // A range and chosen columns, in the order asked.
  const QStringList part =
      lines(csvText(store, kT0 + 1, kT0 + 8025, {Quantity::Error, Quantity::Temperature}));
  ASSERT_EQ(part.size(), 3);
  EXPECT_EQ(part[0], QStringLiteral("time,error,temperature"));
  EXPECT_TRUE(part[1].endsWith(QStringLiteral(",-2.25,")));
  EXPECT_TRUE(part[2].endsWith(QStringLiteral(",,1234.125")));

  setDecimalSeparator(separator);
  QLocale::setDefault(before);
}

TEST(CsvExport, WritesWholeFilesAndSaysWhyItCannot) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("run.csv"));
  QString error;
  ASSERT_TRUE(writeCsv(path, "time\r\n", &error)) << error.toStdString();
  ASSERT_TRUE(writeCsv(path, "time,temperature\r\n", &error));
  QFile file(path);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_EQ(file.readAll(), QByteArray("time,temperature\r\n"));

  EXPECT_FALSE(writeCsv(dir.filePath(QStringLiteral("missing/run.csv")), "time\r\n", &error));
  EXPECT_FALSE(error.isEmpty());
  EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("missing/run.csv"))));
}

// Berlin moves its clocks on at 01:00 UTC on 29 March 2026: the stamps change their offset there,
// and every one still reads back as its moment.
TEST(CsvExport, StampsFollowTheZoneAcrossAClockChange) {
  const QByteArray tzBefore = qgetenv("TZ");
  qputenv("TZ", "Europe/Berlin");
  const qint64 change = QDateTime(QDate(2026, 3, 29), QTime(1, 0), Qt::UTC).toMSecsSinceEpoch();
  TrendStore store;
  for (qint64 t = change - 3 * 600'000; t <= change + 3 * 600'000; t += 300'000) {
    Sample s;
    s.timeMs = t;
    s.set(Quantity::Temperature, 20);
    store.append(s);
  }
  const QStringList rows = lines(csvText(store, 0, 0, {}));
  ASSERT_EQ(rows.size(), 14);
  for (int i = 1; i < rows.size(); ++i) {
    const QString cell = rows[i].section(QLatin1Char(','), 0, 0);
    const qint64 ms = store.samples()[std::size_t(i - 1)].timeMs;
    EXPECT_EQ(QDateTime::fromString(cell, Qt::ISODateWithMs).toMSecsSinceEpoch(), ms)
        << cell.toStdString();
    EXPECT_TRUE(cell.endsWith(ms < change ? QLatin1String("+01:00") : QLatin1String("+02:00")))
        << cell.toStdString();
  }
  EXPECT_TRUE(rows[7].startsWith(QLatin1String("2026-03-29T03:00:00.000+02:00")))
      << rows[7].toStdString();
  if (tzBefore.isNull())
    qunsetenv("TZ");
  else
    qputenv("TZ", tzBefore);
}

// Logs read back export as they always have, byte for byte: the logs under
// tests/plot/data (the stream at line rate, a PID-window run, a Пуск run
// through midnight) against the CSV made of them before the store was made
// compact and the reader streaming. Written whole or as it is made, the same.
TEST(CsvExport, LogsExportByteForByteAsBefore) {
  const QByteArray tzBefore = qgetenv("TZ");
  qputenv("TZ", "Europe/Berlin");
  const QDir data(QStringLiteral(CALORIX_SOURCE_DIR "/tests/plot/data"));
  QTemporaryDir dir;
  ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("2026/03/05")));
  // Each under the name the console gave it: the time it was started.
  const std::pair<const char*, const char*> logs[] = {
      {"stream", "12_03_07"}, {"pid_run", "09_05_03"}, {"pusk_work", "23_58_00"}};
  for (const auto& [name, started] : logs) {
    SCOPED_TRACE(name);
    const QString path = dir.filePath(QStringLiteral("2026/03/05/%1 Data.txt").arg(started));
    ASSERT_TRUE(QFile::copy(data.filePath(QLatin1String(name) + QStringLiteral(".txt")), path));
    QFile csv(data.filePath(QLatin1String(name) + QStringLiteral(".csv")));
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    const QByteArray expected = csv.readAll();

    TrendStore store;
    const LogSummary read = streamLog(path, [&store](const Sample& s) { store.append(s); });
    ASSERT_TRUE(read.error.isEmpty()) << read.error.toStdString();
    EXPECT_EQ(read.skippedLines, 0);
    EXPECT_TRUE(csvText(store, 0, 0, {}) == expected);
    QString error;
    const QString written = dir.filePath(QLatin1String(name) + QStringLiteral(".csv"));
    ASSERT_TRUE(writeCsv(written, store, 0, 0, {}, &error)) << error.toStdString();
    QFile out(written);
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_TRUE(out.readAll() == expected);
  }
  if (tzBefore.isNull())
    qunsetenv("TZ");
  else
    qputenv("TZ", tzBefore);
}

}  // namespace
