#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>

#include "app/WindowContext.h"
#include "programs/TFormVvodProg.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/WindowFixture.h"
#include "tools/TFormDopParam.h"

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

TEST(AdditionalParametersWindow, ReadsAndWritesTheStageWordsInOrder) {
  Fixture f;
  auto& ram = f.harness.ctrl().memory().ram;
  ram[0xDC] = 0x2C;
  ram[0xDD] = 0x01;
  TFormDopParam window(f.ctx);
  QTest::mousePress(window.findChild<QPushButton*>("Button7"), Qt::LeftButton);
  EXPECT_EQ(f.messages.shown, QStringList{"'EditZadTempEtap' is not a valid integer value"});
  QTest::mousePress(window.findChild<QPushButton*>("Button1"), Qt::RightButton);
  EXPECT_EQ(window.findChild<QLineEdit*>("EditZadTempEtap")->text(), "300");
  window.findChild<QLineEdit*>("EditZadTempEtap")->setText("301");
  window.findChild<QLineEdit*>("EditZadTimeStabEtap")->setText("45");
  window.findChild<QLineEdit*>("EditZadSpeedEtap")->setText("5");
  QTest::mousePress(window.findChild<QPushButton*>("Button7"), Qt::LeftButton);
  EXPECT_EQ(f.harness.ctrl().memory().ramWord(0xDC), 301);
  EXPECT_EQ(f.harness.ctrl().memory().ramWord(0xAC), 45);
  EXPECT_EQ(f.harness.ctrl().memory().ramWord(0xAE), 5);
}

}  // namespace
}  // namespace calorix
