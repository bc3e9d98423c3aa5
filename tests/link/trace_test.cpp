// The exchange trace and the data log, byte for byte on disk (Windows-1251,
// CR LF), under the virtual clock.
#include <gtest/gtest.h>

#include <ostream>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "core/Abort.h"
#include "core/Cp1251.h"
#include "link/Link.h"
#include "tests/support/ScriptPeer.h"
#include "tests/support/UnitRig.h"

namespace calorix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::ScriptLink;
using testing::traceTexts;
using testing::UnitRig;

const QDate kDay(2026, 3, 5);

// Makes the wall clock read `time` now.
void setWallTime(VirtualClock& clock, QTime time) {
  clock.setLocalStart(QDateTime(kDay, time).addMSecs(-clock.nowMs()));
}
void setWallTime(ScriptLink& s, QTime time) {
  setWallTime(s.clock(), time);
}

QByteArray crlf(const QStringList& lines) {
  QByteArray out;
  for (const QString& line : lines) out += cp1251::encode(line) + "\r\n";
  return out;
}

const QString kFirst = QString::fromUtf8("Данные работы RS485   ");

TEST(Trace, OneKeyByteAndItsEchoLeaveTheDocumentedLines) {
  UnitRig r;
  const QString path = r.trace.protocolPath();
  setWallTime(r.clock, QTime(12, 3, 7, 450));
  r.peer.answerDelayMs = 15;
  ASSERT_TRUE(r.framed.TracedWrite(0x08, QString()));
  EXPECT_EQ(r.peer.received, Bytes{0x08});
  const auto got = r.framed.TracedRead(1, QString());
  EXPECT_EQ(Bytes(got.begin(), got.end()), Bytes{0x08});
  EXPECT_EQ(
      r.fileBytes(path),
      crlf({kFirst, QString::fromUtf8("12:03:07:45 WriteFile 1 код 08 записалось в буфер порта"),
            QString::fromUtf8("12:03:07:46 ReadFile 1 код из 1 за время 00:15  Чтение выполнено "),
            QString::fromUtf8("12:03:07:46 1 код 08")}));
}

TEST(Trace, DirectoriesAndNamesComeFromTheStartDate) {
  ScriptLink s;
  s.clock().setLocalStart(QDateTime(kDay, QTime(9, 5, 3, 0)));
  s.start(true);
  EXPECT_EQ(QDir::cleanPath(s.link().protocolDir()), s.root() + "/RS485/2026/03/05");
  EXPECT_EQ(QDir::cleanPath(s.link().dataDir()),
            s.root() + QString::fromUtf8("/Протоколы/2026/03/05"));
  EXPECT_TRUE(QDir(s.link().dataDir()).exists());
  EXPECT_TRUE(s.link().protocolPath().endsWith("/09_05_03 Data.txt"));
}

TEST(Trace, SwitchOffKeepsOnlyTheFirstLineAndTheBreakLines) {
  ScriptLink s;
  s.start(false);
  const QString first = s.link().protocolPath();
  s.peer().respond = testing::framedResponder();
  s.link().SendPanelKey(0x02);
  EXPECT_EQ(s.fileBytes(first), crlf({kFirst}));
  // A failed write breaks the file off even so; the new file started in the
  // same second gets its own name and the first one stays whole. (A write
  // that fails on a port that stays; a lost port is another matter.)
  s.port()->setWritesFail(true);
  s.link().SendPanelKey(0x02);
  EXPECT_EQ(s.fileBytes(first), crlf({kFirst, QString::fromUtf8("Разрыв файла протокола")}));
  const QString second = s.link().protocolPath();
  EXPECT_EQ(second, first.left(first.size() - 4) + " (2).txt");
  EXPECT_EQ(s.fileBytes(second),
            crlf({kFirst, QString::fromUtf8("Продолжение файла протокола после ошибки")}));
  s.link().SendPanelKey(0x02);
  EXPECT_TRUE(s.link().protocolPath().endsWith(" Data (3).txt"));
  EXPECT_EQ(s.protocolFiles().size(), 3);
}

TEST(Trace, SixteenByteReadShowsTheFirstFourBytes) {
  UnitRig r;
  Bytes data;
  for (int i = 0; i < 16; ++i) data.push_back(std::uint8_t(0xF0 + i));
  r.peer.sendAt(r.clock.nowMs(), data);
  const auto got = r.framed.TracedRead(16, QString());
  EXPECT_EQ(Bytes(got.begin(), got.end()), data);
  EXPECT_EQ(
      traceTexts(r.trace.protocolPath()),
      (QStringList{QString::fromUtf8("ReadFile 16 код из 16 за время 00:00  Чтение выполнено "),
                   QString::fromUtf8("первые 4 кода F0 F1 F2 F3")}));
}

TEST(Trace, ShortReadBreaksOffAndTheBytesFollowInTheNewFile) {
  UnitRig r;
  const QString old = r.trace.protocolPath();
  r.peer.sendAt(r.clock.nowMs(), {0xAB});
  EXPECT_EQ(r.framed.TracedRead(3, QString()).size(), 1u);
  // One byte, then the gap between bytes ran out.
  EXPECT_EQ(traceTexts(old),
            (QStringList{QString::fromUtf8(
                             "ReadFile 1 код из 3 за время 01:800  Ошибка чтения - мало данных"),
                         QString::fromUtf8("Разрыв файла протокола")}));
  ASSERT_NE(r.trace.protocolPath(), old);
  EXPECT_EQ(traceTexts(r.trace.protocolPath()),
            (QStringList{QString::fromUtf8("Продолжение файла протокола после ошибки"),
                         QString::fromUtf8("1 код AB")}));
  EXPECT_EQ(r.state.FlagLinkBreak, 0);
}

struct DurationCase {
  qint64 delayMs;
  const char* text;
};
// Test names show the case, not its bytes.
void PrintTo(const DurationCase& c, std::ostream* os) {
  *os << c.delayMs << " ms";
}

class ReadDuration : public ::testing::TestWithParam<DurationCase> {};

TEST_P(ReadDuration, SecondsTwoDigitsMillisecondsPaddedOnlyWhenOneDigit) {
  UnitRig r;
  r.peer.sendAt(r.clock.nowMs() + GetParam().delayMs, {0x01});
  r.framed.TracedRead(1, QString());
  const QStringList lines = traceTexts(r.trace.protocolPath());
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_EQ(
      lines[0],
      QString::fromUtf8("ReadFile 1 код из 1 за время %1  Чтение выполнено ").arg(GetParam().text));
}

INSTANTIATE_TEST_SUITE_P(Values, ReadDuration,
                         ::testing::Values(DurationCase{0, "00:00"}, DurationCase{5, "00:05"},
                                           DurationCase{45, "00:45"}, DurationCase{150, "00:150"},
                                           DurationCase{1005, "01:05"},
                                           DurationCase{6020, "06:20"}));

TEST(Trace, StampHundredthsFromMilliseconds) {
  ScriptLink s;
  s.start(true);
  const std::vector<std::pair<int, const char*>> cases{
      {0, "00"}, {7, "07"}, {45, "45"}, {99, "99"}, {150, "15"}, {456, "45"}, {999, "99"}};
  for (const auto& [ms, text] : cases) {
    setWallTime(s, QTime(23, 59, 58, ms));
    s.link().MakeTimeStamps();
    EXPECT_EQ(s.link().ProtStamp(), QStringLiteral("23:59:58:%1 ").arg(text)) << ms;
    EXPECT_EQ(s.link().LineStamp(), QStringLiteral("23:59:58 ")) << ms;
  }
}

// A read that lasts 10 s or more is not traced; it breaks the link.
TEST(Trace, ReadOfTenSecondsOrMoreSetsTheBreakFlagOnly) {
  for (const auto& [gapMs, breaks] :
       std::vector<std::pair<qint64, bool>>{{32, false}, {33, true}}) {
    UnitRig r;
    r.peer.sendAt(r.clock.nowMs(), Bytes(310, 0x11), gapMs);
    r.framed.TracedRead(310, QString());
    const QStringList lines = traceTexts(r.trace.protocolPath());
    EXPECT_EQ(r.state.FlagLinkBreak, breaks ? 1 : 0) << gapMs;
    EXPECT_EQ(lines.size(), breaks ? 0 : 2) << gapMs;
  }
}

struct RollCase {
  qint64 size;
  bool rolls;
};
// Test names show the case, not its bytes.
void PrintTo(const RollCase& c, std::ostream* os) {
  *os << c.size << " bytes";
}

class RollOver : public ::testing::TestWithParam<RollCase> {};

TEST_P(RollOver, FromWholeBlocksOfAMillionBytesOn) {
  ScriptLink s;
  s.start(true);
  const QString first = s.link().protocolPath();
  setWallTime(s, QTime(12, 30, 0, 0));
  // Pad the file up to the size through the link's own lines ("12:30:00:00 "
  // + x's + CR LF); the last one is long, so no check before it sees the size.
  constexpr qint64 kStampAndEnd = 14;
  qint64 remaining = GetParam().size - s.fileBytes(first).size();
  while (remaining >= 2 * (kStampAndEnd + 1000)) {
    s.link().WriteProtocol(QString(1000, QLatin1Char('x')));
    remaining -= kStampAndEnd + 1000;
  }
  s.link().WriteProtocol(QString(remaining - kStampAndEnd, QLatin1Char('x')));
  ASSERT_EQ(s.link().protocolPath(), first);
  ASSERT_EQ(s.fileBytes(first).size(), GetParam().size);
  s.link().WriteProtocol(QStringLiteral("next"));
  const QByteArray old = s.fileBytes(first);
  if (!GetParam().rolls) {
    EXPECT_EQ(s.link().protocolPath(), first);
    EXPECT_TRUE(old.endsWith("x\r\n12:30:00:00 next\r\n"));
    return;
  }
  EXPECT_EQ(old.size(), GetParam().size + 24);
  EXPECT_TRUE(
      old.endsWith("x\r\n" + cp1251::encode(QString::fromUtf8("Разрыв файла протокола\r\n"))));
  EXPECT_EQ(s.fileBytes(s.link().protocolPath()),
            crlf({kFirst, QString::fromUtf8("Продолжение файла протокола"), "12:30:00:00 next"}));
}

INSTANTIATE_TEST_SUITE_P(Sizes, RollOver,
                         ::testing::Values(RollCase{999999, false}, RollCase{1000063, false},
                                           RollCase{1000064, true}, RollCase{1000200, true}));

TEST(DataLog, ReopeningClosesTheOldLogAndNeverOverwritesIt) {
  ScriptLink s;
  s.start(true);
  s.link().OpenDataLog();
  const QString first = s.link().dataLogPath();
  s.link().WriteDataLog(QString::fromUtf8("строка 1"));
  s.link().OpenDataLog();  // same second, not closed by the caller
  const QString second = s.link().dataLogPath();
  EXPECT_NE(second, first);
  s.link().WriteDataLog(QString::fromUtf8("строка 2"));
  s.link().CloseDataLog();
  EXPECT_FALSE(s.link().dataLogOpen());
  s.link().WriteDataLog(QStringLiteral("lost"));  // nothing when closed
  EXPECT_EQ(s.fileBytes(first), crlf({QString::fromUtf8("строка 1")}));
  EXPECT_EQ(s.fileBytes(second), crlf({QString::fromUtf8("строка 2")}));
}

TEST(Trace, ProtocolThatCannotBeCreatedNamesTheFile) {
  ScriptLink s;
  // The root is an ordinary file: no directory can be made below it.
  QDir().mkpath(QFileInfo(s.root()).path());
  {
    QFile blocker(s.root());
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
  }
  try {
    s.start(true);
    FAIL() << "no file error";
  } catch (const AbortAction& e) {
    EXPECT_TRUE(e.message().startsWith(QString::fromUtf8("Не удалось создать файл ")))
        << e.message().toStdString();
    EXPECT_TRUE(e.message().contains("RS485")) << e.message().toStdString();
  }
}

}  // namespace
}  // namespace calorix
