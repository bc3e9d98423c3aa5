#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QTableWidget>
#include <QTest>

#include "app/WindowContext.h"
#include "programs/TFormDataDide.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/WindowFixture.h"

namespace calorix {
namespace {

TEST(ProgramEditorWindow, FirstSelectionAsksNothingAndAStage0EditIsSavedOnTheNext) {
  testing::WindowFixture f;
  auto& messages = f.messages;
  auto& prog = f.harness.ctrl().memory().progMem;
  const std::uint8_t stage[4] = {0x10, 0x05, 0xF4, 0xA1};
  std::copy(stage, stage + 4, prog.begin() + 60);  // program 2, stage 1
  TFormDataDide window(f.ctx);
  auto* combo = window.findChild<QComboBox*>("ComboBox1");
  auto* grid = window.findChild<QTableWidget*>("StringGrid1");
  QTest::keyClick(combo, Qt::Key_Down);  // program 2
  EXPECT_TRUE(messages.asked.isEmpty());
  EXPECT_EQ(window.currentProgram(), 2);
  EXPECT_EQ(grid->item(2, 1)->text(), "500");
  EXPECT_EQ(grid->item(2, 2)->text(), "1296");
  EXPECT_EQ(grid->item(2, 3)->text(), "10");
  EXPECT_EQ(f.panelReads, 1);
  grid->item(1, 2)->setText("3");
  QTest::keyClick(combo, Qt::Key_Up);  // program 1, save program 2
  EXPECT_EQ(messages.asked, QStringList{QString::fromUtf8("Сохранить изменения?")});
  EXPECT_EQ(prog[61], 0xC5);  // stage 1 carries bits 0..1 of the stage-0 value
  EXPECT_EQ(prog[60], 0x10);
  EXPECT_EQ(window.currentProgram(), 1);
}

}  // namespace
}  // namespace calorix
