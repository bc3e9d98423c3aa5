// The current-program editor when a save or load cannot be carried out:
// cells that do not fit their stage record fields, a line that is gone, a
// silent controller, a busy link.
#include <gtest/gtest.h>

#include "tests/programs/programs_editor_fixture.h"

namespace calorix {
namespace {

using namespace testing::editor;

// ---- cells that cannot be stored -----------------------------------------------------------

TEST(ProgramEditorWindow, ACellOutsideItsFieldStopsTheSelectionBeforeAnythingIsWritten) {
  struct Case {
    Edit valid;  // an edit that would be saved on its own
    int row;
    int column;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {{1, 1, 7}, 3, 1, "4096", "Значение 4096 вне диапазона 0..4095"},
      {{1, 1, 7}, 3, 1, "-1", "Значение -1 вне диапазона 0..4095"},
      {{1, 1, 7}, 5, 1, "$1000", "Значение 4096 вне диапазона 0..4095"},
      {{1, 1, 7}, 3, 2, "16384", "Значение 16384 вне диапазона 0..16383"},
      {{9, 2, 7}, 3, 3, "16", "Значение 16 вне диапазона 0..15"},
      {{4, 3, 2}, 0, 2, "65536", "Значение 65536 вне диапазона 0..65535"},
      {{4, 3, 2}, 0, 2, "-2", "Значение -2 вне диапазона 0..65535"},
      {{1, 1, 7}, 2, 2, "12a", "'12a' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    testing::WindowFixture f;
    auto& mem = f.harness.ctrl().memory();
    for (int n = 1; n <= 4; ++n) putProgram(mem, n, patternProgram(n));
    Editor e(f);
    e.choose(2);
    const auto before = mem.progMem;
    f.harness.ctrl().clearLogs();
    e.setCell(c.valid.row, c.valid.column, c.valid.value);
    e.setCell(c.row, c.column, QString::fromUtf8(c.text));
    f.messages.answers = {true};
    e.key(Qt::Key_Down);

    EXPECT_EQ(f.messages.shown, QStringList{QString::fromUtf8(c.message)});
    EXPECT_TRUE(f.messages.asked.isEmpty());
    EXPECT_TRUE(f.harness.ctrl().received().empty()) << "something was sent";
    EXPECT_EQ(mem.progMem, before);
    EXPECT_EQ(e.window.currentProgram(), 2);
    EXPECT_EQ(e.cell(c.row, c.column), QString::fromUtf8(c.text)) << "the operator's text is kept";
    EXPECT_EQ(e.cell(c.valid.row, c.valid.column), QString::number(c.valid.value));

    // Put right, the next selection saves program 2 with both edits.
    Program edited = patternProgram(2);
    edited.cells[c.valid.row][c.valid.column] = c.valid.value;
    edited.cells[c.row][c.column] = 1;
    e.setCell(c.row, c.column, 1);
    e.key(Qt::Key_Down);
    EXPECT_EQ(f.messages.asked, QStringList{kAskSave});
    EXPECT_EQ(e.window.currentProgram(), 4);
    for (int k = 1; k <= 15; ++k)
      EXPECT_EQ(Bytes(mem.progMem.begin() + 60 + 4 * (k - 1), mem.progMem.begin() + 60 + 4 * k),
                stageRecord(edited, k))
          << "stage " << k;
  }
}

// ---- a line that is gone ----------------------------------------------------------------------

void setLineGone(testing::WindowFixture& f, bool gone) {
  sim::Faults faults;
  faults.portGone = gone;
  f.harness.ctrl().setFaults(faults);
}

TEST(ProgramEditorWindow, ASaveThatCannotBeSentKeepsTheEditsForTheNextTry) {
  for (const int n : {2, 20}) {
    SCOPED_TRACE(n);
    testing::WindowFixture f;
    auto& mem = f.harness.ctrl().memory();
    for (int p : {n, n + 1}) putProgram(mem, p, patternProgram(p));
    Editor e(f);
    e.choose(n);
    const auto progBefore = mem.progMem;
    const auto romBefore = mem.rom;
    Program edited = patternProgram(n);
    edited.cells[2][1] = 321;
    e.setCell(2, 1, 321);
    f.harness.ctrl().clearLogs();
    setLineGone(f, true);
    f.messages.answers = {true};
    e.key(Qt::Key_Down);

    const QString failed = QString::fromUtf8("Программа %1 не записана: нет связи с контроллером");
    EXPECT_EQ(f.messages.shown, QStringList{failed.arg(n)});
    EXPECT_TRUE(f.harness.ctrl().received().empty());
    EXPECT_EQ(mem.progMem, progBefore);
    EXPECT_EQ(mem.rom, romBefore);
    EXPECT_EQ(e.window.currentProgram(), n);
    EXPECT_EQ(e.combo->currentIndex(), n - 1) << "the box shows the program in the grid";
    EXPECT_EQ(e.cell(2, 1), "321");

    // The line is back: the same selection asks again and saves.
    setLineGone(f, false);
    f.messages.asked.clear();
    f.messages.answers = {true};
    e.key(Qt::Key_Down);
    EXPECT_EQ(f.messages.asked, QStringList{kAskSave});
    EXPECT_EQ(e.window.currentProgram(), n + 1);
    e.expectShows(patternProgram(n + 1), "next program loaded");
    e.key(Qt::Key_Up);
    e.expectShows(edited, "saved program read back");
  }
}

TEST(ProgramEditorWindow, ALoadThatCannotBeSentLeavesTheGridWithTheProgramItHolds) {
  testing::WindowFixture f;
  auto& mem = f.harness.ctrl().memory();
  for (int n = 2; n <= 3; ++n) putProgram(mem, n, patternProgram(n));
  Editor e(f);
  e.choose(2);
  const int panelReads = f.panelReads;
  f.harness.ctrl().clearLogs();
  setLineGone(f, true);
  e.key(Qt::Key_Down);
  EXPECT_EQ(f.messages.shown,
            QStringList{QString::fromUtf8("Программа 3 не прочитана: нет связи с контроллером")});
  EXPECT_TRUE(f.harness.ctrl().received().empty()) << "no key codes after a failed load";
  EXPECT_EQ(f.panelReads, panelReads);
  EXPECT_EQ(e.window.currentProgram(), 2);
  EXPECT_EQ(e.combo->currentIndex(), 1);
  e.expectShows(patternProgram(2), "program 2 still shown");

  // Edited now, the edit belongs to program 2 and goes there, not to 3.
  setLineGone(f, false);
  Program edited = patternProgram(2);
  edited.cells[5][3] = 0;
  e.setCell(5, 3, 0);
  f.messages.answers = {true};
  e.key(Qt::Key_Down);
  EXPECT_EQ(e.window.currentProgram(), 3);
  e.expectShows(patternProgram(3), "program 3 loaded");
  const Bytes stage5(mem.progMem.begin() + 60 + 16, mem.progMem.begin() + 60 + 20);
  EXPECT_EQ(stage5, stageRecord(edited, 5));
}

TEST(ProgramEditorWindow, ASilentControllerStopsTheSaveAfterItsFirstCommand) {
  testing::WindowFixture f;
  auto& mem = f.harness.ctrl().memory();
  for (int n = 2; n <= 3; ++n) putProgram(mem, n, patternProgram(n));
  Editor e(f);
  e.choose(2);
  e.setCell(0, 2, 7);  // stages 1..8 to write
  f.harness.ctrl().clearLogs();
  sim::Faults silent;
  silent.silent = true;
  f.harness.ctrl().setFaults(silent);
  f.messages.answers = {true};
  e.key(Qt::Key_Down);
  EXPECT_EQ(f.messages.shown,
            QStringList{QString::fromUtf8("Программа 2 не записана: нет связи с контроллером")});
  // The stage write's command byte brings no reply: the rest of its frame
  // is not sent, and nothing after it.
  EXPECT_EQ(f.harness.ctrl().received(), Bytes{kWrProgMem})
      << "nothing after the unanswered stage write";
  EXPECT_EQ(e.window.currentProgram(), 2);
  EXPECT_EQ(e.cell(0, 2), "7");

  // Nothing to save now (Cancel), and the load is not answered either: the
  // grid does not take the stale read buffer for program 3.
  f.messages.shown.clear();
  f.messages.answers = {false};
  e.key(Qt::Key_Down);
  EXPECT_EQ(f.messages.shown,
            QStringList{QString::fromUtf8("Программа 3 не прочитана: нет связи с контроллером")});
  EXPECT_EQ(e.window.currentProgram(), 2);
  EXPECT_EQ(e.cell(1, 1), QString::number(patternProgram(2).cells[1][1]));
}

TEST(ProgramEditorWindow, ASelectionWhileTheLinkIsBusyDoesNothing) {
  testing::WindowFixture f;
  putProgram(f.harness.ctrl().memory(), 2, patternProgram(2));
  Editor e(f);
  ASSERT_TRUE(f.harness.link().tryBegin());  // another exchange in progress
  e.key(Qt::Key_Down);
  f.harness.link().end();
  EXPECT_TRUE(f.harness.ctrl().received().empty());
  EXPECT_EQ(e.combo->currentIndex(), 0);
  EXPECT_EQ(e.window.currentProgram(), 0);
  e.key(Qt::Key_Down);
  EXPECT_EQ(e.window.currentProgram(), 2);
  e.expectShows(patternProgram(2), "program 2 loaded");
}

TEST(ProgramEditorWindow, AKeyHandledDuringTheSaveLeavesTheBoxShowingTheLoadedProgram) {
  testing::WindowFixture f;
  auto& mem = f.harness.ctrl().memory();
  for (int n = 2; n <= 4; ++n) putProgram(mem, n, patternProgram(n));
  Editor e(f);
  e.choose(2);
  e.setCell(6, 2, 11);
  // The operator presses Down again while the save lets window events run.
  f.messages.whileOpen = [&] {
    QCoreApplication::postEvent(e.combo,
                                new QKeyEvent(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier));
  };
  f.messages.answers = {true};
  e.key(Qt::Key_Down);
  f.messages.whileOpen = nullptr;
  QCoreApplication::processEvents();
  EXPECT_EQ(f.messages.asked, QStringList{kAskSave});
  EXPECT_EQ(e.window.currentProgram(), 3) << "the second key found the link busy";
  EXPECT_EQ(e.combo->currentIndex(), 2) << "the box must show the program in the grid";
  e.expectShows(patternProgram(3), "program 3 loaded");
}

}  // namespace
}  // namespace calorix
