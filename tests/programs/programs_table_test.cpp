#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <vector>

#include "programs/TFormVvodProg.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/WindowFixture.h"
#include "ui/WindowContext.h"

namespace calorix {
namespace {

using Fixture = testing::WindowFixture;

TEST(ProgramTableWindow, ReadShowsWordsAndWritingBackKeepsThe400Bytes) {
  Fixture f;
  auto& mem = f.harness.ctrl().memory().blockMem;
  for (int i = 0; i < 400; ++i) mem[0x70 + i] = std::uint8_t(i * 7 + 3);
  const std::uint8_t rec[8] = {0x34, 0x12, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0x00};
  std::copy(rec, rec + 8, mem.begin() + 0x1F8);
  const auto before = mem;
  TFormVvodProg window(f.ctx);
  window.InitProgGrid();
  auto* grid = window.findChild<QTableWidget*>("StringGridRdProg");
  f.harness.ctrl().clearLogs();
  QTest::mouseClick(window.findChild<QPushButton*>("Button1"), Qt::LeftButton);
  // On the line: a sync, the 50 block reads of one record each, a sync.
  std::vector<std::uint8_t> sent{0x40};
  for (int r = 0; r < 50; ++r)
    sent.insert(sent.end(),
                {0x05, 0x08, std::uint8_t(0x70 + 8 * r), std::uint8_t((0x70 + 8 * r) >> 8)});
  sent.push_back(0x40);
  EXPECT_EQ(f.harness.ctrl().received(), sent);
  EXPECT_EQ(grid->item(50, 0)->text(), "50");
  EXPECT_EQ(grid->item(50, 1)->text(), "4660");
  EXPECT_EQ(grid->item(50, 3)->text(), "65535");
  EXPECT_EQ(grid->item(50, 4)->text(), "1");
  mem.fill(0);
  QTest::mouseClick(window.findChild<QPushButton*>("Button2"), Qt::LeftButton);
  EXPECT_TRUE(f.messages.shown.isEmpty());
  EXPECT_TRUE(std::equal(before.begin() + 0x70, before.begin() + 0x200, mem.begin() + 0x70));
}

TEST(ProgramTableWindow, WriteBeforeReadAndOutOfRangeWordsStopBeforeTheirRecord) {
  Fixture f;
  TFormVvodProg window(f.ctx);
  window.InitProgGrid();
  QTest::mouseClick(window.findChild<QPushButton*>("Button2"), Qt::LeftButton);
  EXPECT_EQ(f.messages.shown, QStringList{"'' is not a valid integer value"});
  auto* grid = window.findChild<QTableWidget*>("StringGridRdProg");
  for (int r = 1; r <= 50; ++r)
    for (int c = 1; c <= 4; ++c) grid->item(r, c)->setText("5");
  grid->item(2, 3)->setText("70000");
  auto& mem = f.harness.ctrl().memory().blockMem;
  QTest::mouseClick(window.findChild<QPushButton*>("Button2"), Qt::LeftButton);
  EXPECT_EQ(f.messages.shown.last(), QString::fromUtf8("Значение 70000 вне диапазона 0..65535"));
  EXPECT_EQ(mem[0x70], 5);  // record 1 written
  EXPECT_EQ(mem[0x78], 0);  // record 2 not
}

struct Table {
  explicit Table(Fixture& f) : window(f.ctx) { window.InitProgGrid(); }
  TFormVvodProg window;
  QTableWidget* grid = window.findChild<QTableWidget*>("StringGridRdProg");
  void read() { QTest::mouseClick(window.findChild<QPushButton*>("Button1"), Qt::LeftButton); }
  void write() { QTest::mouseClick(window.findChild<QPushButton*>("Button2"), Qt::LeftButton); }
  QString cell(int row, int column) const { return grid->item(row, column)->text(); }
};

// Output bytes of a table read: the sync's two, then 13 per record (the
// code's echo, three header echoes, eight data bytes, 0x80).
constexpr int recordReplyAt(int record) {
  return 2 + 13 * (record - 1);
}

TEST(ProgramTableWindow, ARecordNotReadIsLeftEmptyAndNoWriteTakesItUntilItIsTyped) {
  Fixture f;
  auto& mem = f.harness.ctrl().memory().blockMem;
  for (int i = 0; i < 400; ++i) mem[0x70 + i] = std::uint8_t(i + 1);
  const auto before = mem;
  Table t(f);
  sim::Faults faults;
  faults.dropAt = recordReplyAt(2) + 6;  // a data byte of record 2
  f.harness.ctrl().setFaults(faults);
  t.read();
  // Not record 1's words again: nothing.
  for (int k = 1; k <= 4; ++k) EXPECT_EQ(t.cell(2, k), "") << k;
  EXPECT_EQ(t.cell(2, 0), "2");
  EXPECT_EQ(t.cell(1, 1), QString::number(0x0201));
  EXPECT_EQ(t.cell(3, 1), QString::number(0x1211));
  EXPECT_EQ(f.messages.shown,
            QStringList{QString::fromUtf8("Не прочитана строка 2: она оставлена пустой.")});

  f.harness.ctrl().setFaults(sim::Faults{});
  f.harness.ctrl().clearLogs();
  t.grid->item(2, 1)->setText("7");  // one word of four typed
  t.write();
  EXPECT_TRUE(f.harness.ctrl().received().empty()) << "refused before anything is sent";
  EXPECT_TRUE(f.messages.shown.last().contains(QString::fromUtf8("строка 2 не прочитана")));
  EXPECT_EQ(mem, before);

  for (int k = 2; k <= 4; ++k) t.grid->item(2, k)->setText(QString::number(k));
  f.messages.shown.clear();
  t.write();
  EXPECT_TRUE(f.messages.shown.isEmpty());
  const std::uint8_t typed[8] = {7, 0, 2, 0, 3, 0, 4, 0};
  EXPECT_TRUE(std::equal(typed, typed + 8, mem.begin() + 0x78));
  EXPECT_TRUE(std::equal(before.begin() + 0x70, before.begin() + 0x78, mem.begin() + 0x70));
  EXPECT_TRUE(std::equal(before.begin() + 0x80, before.begin() + 0x200, mem.begin() + 0x80));
}

// A controller that answers nothing costs the opening sync and one record,
// not 52 time-outs; a write to it stops at its first record and says so.
TEST(ProgramTableWindow, ASilentControllerStopsTheTransferAtTheFirstRecordAndItIsSaid) {
  Fixture f;
  Table t(f);
  sim::Faults silent;
  silent.silent = true;
  f.harness.ctrl().setFaults(silent);
  const auto expectStopped = [&](std::uint8_t code, const char* said) {
    EXPECT_EQ(f.harness.ctrl().received(), (std::vector<std::uint8_t>{0x40, code}));
    EXPECT_EQ(f.messages.shown.join('|').toStdString(), said);
    f.harness.ctrl().clearLogs();
    f.messages.shown.clear();
  };
  const qint64 started = f.harness.clock().nowMs();
  t.read();
  EXPECT_LE(f.harness.clock().nowMs() - started, 2 * 6100);
  EXPECT_EQ(t.cell(50, 1), "");
  expectStopped(0x05,
                "Контроллер не отвечает: чтение остановлено на строке 1. Не прочитаны строки "
                "1–50: они оставлены пустыми.");
  for (int r = 1; r <= 50; ++r)
    for (int c = 1; c <= 4; ++c) t.grid->item(r, c)->setText("5");
  t.write();
  expectStopped(0x04,
                "Контроллер не отвечает: запись остановлена на строке 1. Строки 1–50 не "
                "записаны. Прочитайте таблицу и проверьте.");
}

// The close that a termination signal asks for is carried out between two
// records: the transfer then finds the port closed and ends.
TEST(ProgramTableWindow, ACloseDuringTheReadEndsItAfterTheRecordInProgress) {
  testing::testApplication();
  testing::ConsoleHarness h;
  h.start(QStringLiteral("[Vid prog]\r\nVidProg=4\r\n"));
  h.password = kAccessPassword;
  h.show();
  auto& window = h.console().window<TFormVvodProg>();
  h.ctrl().clearLogs();
  QMetaObject::invokeMethod(&h.form1(), "close", Qt::QueuedConnection);
  QTest::mouseClick(window.findChild<QPushButton*>("Button1"), Qt::LeftButton);
  EXPECT_FALSE(h.link().portOpen());
  const auto& received = h.ctrl().received();
  EXPECT_LE(std::count(received.begin(), received.end(), std::uint8_t(0x05)), 1)
      << "records were read after the close";
}

}  // namespace
}  // namespace calorix
