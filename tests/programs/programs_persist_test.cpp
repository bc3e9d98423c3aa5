// Programs edited in the editor outlive a restart of the simulator: saved in
// the editor, kept by the emulator's state file, and read back by a new editor
// on a fresh emulator loaded from that file.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <map>

#include "programs/TFormDataDide.h"
#include "sim/StateFile.h"
#include "tests/support/WindowFixture.h"

namespace calorix {
namespace {

struct Cell {
  int row;  // table row: 0 = stage 0, 1..15 the stages
  int column;
  int value;
};

// What the operator types into program n.
std::vector<Cell> editsFor(int n) {
  return {{0, 2, 0xB00B - n}, {1, 1, 1000 + n}, {1, 2, 16383}, {1, 3, 15}, {8, 1, 4095},
          {8, 3, n % 16},     {9, 2, 300 + n},  {15, 1, 1},    {15, 2, 2}, {15, 3, 3}};
}

struct Editor {
  explicit Editor(testing::WindowFixture& f) : window(f.ctx) {}

  TFormDataDide window;
  QComboBox* combo = window.findChild<QComboBox*>("ComboBox1");
  QTableWidget* grid = window.findChild<QTableWidget*>("StringGrid1");

  // Arrow keys to program n; every step is a selection.
  void choose(int n) {
    while (combo->currentIndex() < n - 1) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > n - 1) QTest::keyClick(combo, Qt::Key_Up);
  }
  QTableWidgetItem* cell(int row, int column) { return grid->item(row + 1, column); }

  void type(int n) {
    for (const Cell& c : editsFor(n)) cell(c.row, c.column)->setText(QString::number(c.value));
  }
  void expectShows(int n, const char* when) {
    ASSERT_EQ(window.currentProgram(), n) << when;
    std::map<std::pair<int, int>, int> typed;
    for (const Cell& c : editsFor(n)) typed[{c.row, c.column}] = c.value;
    for (const auto& [at, value] : typed)
      EXPECT_EQ(cell(at.first, at.second)->text(), QString::number(value))
          << when << ": program " << n << " row " << at.first << " column " << at.second;
  }
};

TEST(ProgramPersistence, EditedProgramsSurviveASimulatorRestart) {
  const int programs[] = {6, 23};  // program memory and ROM
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  const QString stateFile = dir.filePath("controller.state");

  {
    testing::WindowFixture f;
    Editor e(f);
    for (int n : programs) {
      e.choose(n);
      e.type(n);
      f.messages.answers = {true};
      QTest::keyClick(e.combo, Qt::Key_Down);  // leaving n saves it
      ASSERT_EQ(f.messages.asked.size(), 1) << "program " << n;
      f.messages.asked.clear();
      e.choose(n);
      e.expectShows(n, "read back at once");
    }
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join("; ").toStdString();
    QString error;
    ASSERT_TRUE(sim::saveState(f.harness.ctrl().memory(), stateFile, &error))
        << error.toStdString();
  }

  testing::WindowFixture restarted;
  QString error;
  ASSERT_TRUE(sim::loadState(restarted.harness.ctrl().memory(), stateFile, &error))
      << error.toStdString();
  Editor e(restarted);
  for (int n : programs) {
    e.choose(n);
    e.expectShows(n, "after the restart");
  }
  EXPECT_TRUE(restarted.messages.asked.isEmpty());

  // A fresh emulator without the state file has none of it.
  testing::WindowFixture blank;
  Editor other(blank);
  other.choose(programs[0]);
  EXPECT_EQ(other.cell(1, 1)->text(), "0");
}

}  // namespace
}  // namespace calorix
