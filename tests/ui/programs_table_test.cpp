#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "programs/TFormVvodProg.h"
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
  QTest::mouseClick(window.findChild<QPushButton*>("Button1"), Qt::LeftButton);
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

}  // namespace
}  // namespace calorix
