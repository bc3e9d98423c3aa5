// The current-program editor against the emulator: what a change of program
// in ComboBox1 sends for each kind of edit, the order of the stage writes, the
// ROM page sequence of programs 18..25 and the key codes after a load.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QTableWidget>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "programs/TFormDataDide.h"
#include "tests/programs/programs_editor_fixture.h"
#include "tests/support/WindowFixture.h"

namespace calorix {
namespace {

using namespace testing::editor;

// ---- programs 1..17: only the stages that changed ---------------------------------

struct ProgMemCase {
  const char* name;
  std::vector<Edit> edits;
  std::vector<int> stagesWritten;  // in the order they must go out
};

TEST(ProgramEditorWindow, AProgMemSaveWritesTheChangedStagesOnceEachInOrder) {
  const std::vector<ProgMemCase> cases = {
      {"stage-0 value only", {{0, 2, 0x1234}}, {1, 2, 3, 4, 5, 6, 7, 8}},
      {"stage 3 temperature and stage-0 value", {{3, 1, 777}, {0, 2, 5}}, {3, 1, 2, 4, 5, 6, 7, 8}},
      {"stage 8 time and stage-0 value", {{8, 2, 9}, {0, 2, 0xFFFF}}, {8, 1, 2, 3, 4, 5, 6, 7}},
      {"stage 12 speed only", {{12, 3, 0}}, {12}},
      {"stages 10 and 3", {{10, 2, 42}, {3, 3, 1}}, {3, 10}},
      {"stage-0 temperature cell, stored nowhere", {{0, 1, 5}}, {}},
  };
  for (const ProgMemCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::WindowFixture f;
    auto& mem = f.harness.ctrl().memory();
    for (int n = 1; n <= 3; ++n) putProgram(mem, n, patternProgram(n));
    Editor e(f);
    e.choose(2);
    EXPECT_TRUE(f.messages.asked.isEmpty()) << "the first selection has nothing to save";
    e.expectShows(patternProgram(2), "program 2 loaded");
    auto expectedMem = mem.progMem;
    f.harness.ctrl().clearLogs();

    Program edited = patternProgram(2);
    for (const Edit& edit : c.edits) {
      e.setCell(edit.row, edit.column, edit.value);
      edited.cells[edit.row][edit.column] = edit.value;
    }
    f.messages.answers = {true};
    e.key(Qt::Key_Down);  // program 3: save program 2

    EXPECT_EQ(f.messages.asked, QStringList{kAskSave});
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join("; ").toStdString();
    const std::vector<Frame> writes = memoryWrites(f.harness.ctrl());
    ASSERT_EQ(writes.size(), c.stagesWritten.size());
    for (std::size_t i = 0; i < writes.size(); ++i) {
      const int k = c.stagesWritten[i];
      SCOPED_TRACE(k);
      EXPECT_EQ(writes[i].code, kWrProgMem);
      EXPECT_EQ(writes[i].addr(), 60 + 4 * (k - 1));
      EXPECT_EQ(writes[i].count(), 4);
      EXPECT_EQ(writes[i].data(), stageRecord(edited, k));
      const Bytes record = stageRecord(edited, k);
      std::copy(record.begin(), record.end(), expectedMem.begin() + 60 + 4 * (k - 1));
    }
    EXPECT_EQ(mem.progMem, expectedMem) << "a stage outside the save changed";

    // The save comes before the load of the newly chosen program.
    const std::vector<Frame> frames = framesReceived(f.harness.ctrl());
    const auto read = std::find_if(frames.begin(), frames.end(),
                                   [](const Frame& fr) { return fr.code == kRdProgMem; });
    ASSERT_NE(read, frames.end());
    EXPECT_EQ(read->addr(), 120);
    EXPECT_EQ(read->count(), 60);
    EXPECT_TRUE(std::none_of(read, frames.end(), writesMemory));
    EXPECT_EQ(e.window.currentProgram(), 3);
    e.expectShows(patternProgram(3), "program 3 loaded");

    // Back to program 2: nothing to ask, and it reads back as edited, apart
    // from the cells the controller does not store.
    f.messages.asked.clear();
    e.key(Qt::Key_Up);
    EXPECT_TRUE(f.messages.asked.isEmpty());
    edited.cells[0][1] = 0;
    e.expectShows(edited, "program 2 read back");
  }
}

TEST(ProgramEditorWindow, FieldLimitsAreStoredBitExact) {
  testing::WindowFixture f;
  auto& prog = f.harness.ctrl().memory().progMem;
  Editor e(f);
  e.key(Qt::Key_Down);  // program 2, all zero
  e.setCell(15, 1, 4095);
  e.setCell(15, 2, 16383);
  e.setCell(15, 3, 15);
  e.setCell(8, 2, 16383);
  e.setCell(0, 2, 65535);
  f.messages.answers = {true};
  e.key(Qt::Key_Up);
  const Bytes stage15(prog.begin() + 60 + 56, prog.begin() + 60 + 60);
  EXPECT_EQ(stage15, (Bytes{0xFF, 0x3F, 0xFF, 0xFF}));
  const Bytes stage8(prog.begin() + 60 + 28, prog.begin() + 60 + 32);
  EXPECT_EQ(stage8, (Bytes{0xFF, 0xFF, 0x00, 0x00}));
  for (int k = 1; k <= 7; ++k) EXPECT_EQ(prog[60 + 4 * (k - 1) + 1], 0xC0) << "stage " << k;
  e.key(Qt::Key_Down);
  EXPECT_EQ(e.cell(0, 2), "65535");
  EXPECT_EQ(e.cell(15, 1), "4095");
  EXPECT_EQ(e.cell(15, 2), "16383");
  EXPECT_EQ(e.cell(15, 3), "15");
  EXPECT_EQ(e.cell(8, 2), "16383");
}

// ---- programs 18..25: the whole program through the RAM window of its page -------

struct RomCase {
  int edited;
  Qt::Key next;
  int loaded;
  quint16 page;
  quint16 ramBase;
  int partner;  // the other program of the page
};

TEST(ProgramEditorWindow, ARomProgramGoesThroughItsPageAndItsPartnerSurvives) {
  const std::vector<RomCase> cases = {
      {18, Qt::Key_Down, 19, 0x7C00, 0x200, 19},
      {21, Qt::Key_Down, 22, 0x7C80, 0x240, 20},
      {25, Qt::Key_Up, 24, 0x7D80, 0x240, 24},
  };
  for (const RomCase& c : cases) {
    SCOPED_TRACE(c.edited);
    testing::WindowFixture f;
    auto& mem = f.harness.ctrl().memory();
    for (std::size_t i = 0x7C00; i < 0x7E00; ++i) mem.rom[i] = std::uint8_t(i * 7 + 3);
    for (int n = 18; n <= 25; ++n) putProgram(mem, n, patternProgram(n));
    Editor e(f);
    e.choose(c.edited);
    e.expectShows(patternProgram(c.edited), "edited program loaded");
    auto expectedRom = mem.rom;
    f.harness.ctrl().clearLogs();

    Program edited = patternProgram(c.edited);
    edited.cells[7][1] = 1234;  // a single cell
    e.setCell(7, 1, 1234);
    f.messages.answers = {true};
    e.key(c.next);

    EXPECT_EQ(f.messages.asked, QStringList{kAskSave});
    const std::vector<Frame> writes = memoryWrites(f.harness.ctrl());
    ASSERT_EQ(writes.size(), 18u);
    EXPECT_EQ(writes.front().code, kPage9);
    EXPECT_EQ(writes.front().params, (Bytes{std::uint8_t(c.page), std::uint8_t(c.page >> 8)}));
    for (int k = 1; k <= 15; ++k) {
      const Frame& w = writes[k];
      SCOPED_TRACE(k);
      EXPECT_EQ(w.code, kWrRam);
      EXPECT_EQ(w.addr(), c.ramBase + 4 * (k - 1));
      EXPECT_EQ(w.count(), 4);
      EXPECT_EQ(w.data(), stageRecord(edited, k));
    }
    EXPECT_EQ(writes[16].code, kPage10);
    EXPECT_EQ(writes[17].code, kPage11);
    EXPECT_EQ(writes[16].params, writes.front().params);
    EXPECT_EQ(writes[17].params, writes.front().params);

    const std::size_t slot = 0x7C00 + 64 * (c.edited - 18);
    for (int k = 1; k <= 15; ++k) {
      const Bytes record = stageRecord(edited, k);
      std::copy(record.begin(), record.end(), expectedRom.begin() + slot + 4 * (k - 1));
    }
    EXPECT_EQ(mem.rom, expectedRom)
        << "the partner program " << c.partner << " or the rest of the ROM changed";

    const std::vector<Frame> frames = framesReceived(f.harness.ctrl());
    const auto read = std::find_if(frames.begin(), frames.end(),
                                   [](const Frame& fr) { return fr.code == kRdRom; });
    ASSERT_NE(read, frames.end());
    EXPECT_EQ(read->addr(), 0x7C00 + 64 * (c.loaded - 18));
    EXPECT_EQ(read->count(), 60);
    EXPECT_EQ(e.window.currentProgram(), c.loaded);
    e.expectShows(patternProgram(c.loaded), "next program loaded");

    e.choose(c.edited);
    e.expectShows(edited, "edited program read back");
  }
}

// ---- the question and its answers ------------------------------------------------

TEST(ProgramEditorWindow, CancelWritesNothingAndStillLoadsTheChosenProgram) {
  testing::WindowFixture f;
  auto& mem = f.harness.ctrl().memory();
  for (int n = 1; n <= 3; ++n) putProgram(mem, n, patternProgram(n));
  Editor e(f);
  e.choose(2);
  const auto before = mem.progMem;
  f.harness.ctrl().clearLogs();
  e.setCell(4, 1, 99);
  e.setCell(0, 2, 1);
  f.messages.answers = {false};
  e.key(Qt::Key_Down);
  EXPECT_EQ(f.messages.asked, QStringList{kAskSave});
  EXPECT_TRUE(memoryWrites(f.harness.ctrl()).empty());
  EXPECT_EQ(mem.progMem, before);
  EXPECT_EQ(e.window.currentProgram(), 3);
  e.expectShows(patternProgram(3), "program 3 loaded");
  // The edits are gone with the load: program 2 comes back unchanged, unasked.
  f.messages.asked.clear();
  e.key(Qt::Key_Up);
  EXPECT_TRUE(f.messages.asked.isEmpty());
  e.expectShows(patternProgram(2), "program 2 read back");
}

TEST(ProgramEditorWindow, AnEditBeforeTheFirstLoadAsksButHasNothingToSave) {
  testing::WindowFixture f;
  auto& mem = f.harness.ctrl().memory();
  putProgram(mem, 2, patternProgram(2));
  Editor e(f);
  e.setCell(1, 1, 50);
  f.messages.answers = {true};
  e.key(Qt::Key_Down);
  EXPECT_EQ(f.messages.asked, QStringList{kAskSave});
  EXPECT_TRUE(memoryWrites(f.harness.ctrl()).empty());
  EXPECT_EQ(e.window.currentProgram(), 2);
  e.expectShows(patternProgram(2), "program 2 loaded");
}

// ---- decoding -----------------------------------------------------------------------

TEST(ProgramEditorWindow, StageBytes10C5F4A1DecodeIntoTheGrid) {
  struct Case {
    int program;
    int stage;
    int stage0;  // the two set bits land where the stage carries them
  };
  const Case cases[] = {{2, 1, 3}, {2, 8, 0xC000}, {2, 9, 0}, {19, 4, 0x00C0}, {18, 15, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "program " << c.program << " stage " << c.stage);
    testing::WindowFixture f;
    const std::uint8_t bytes[4] = {0x10, 0xC5, 0xF4, 0xA1};
    std::copy(bytes, bytes + 4,
              programBytes(f.harness.ctrl().memory(), c.program) + 4 * (c.stage - 1));
    Editor e(f);
    e.choose(c.program);
    EXPECT_EQ(e.cell(c.stage, 1), "500");
    EXPECT_EQ(e.cell(c.stage, 2), "1296");
    EXPECT_EQ(e.cell(c.stage, 3), "10");
    EXPECT_EQ(e.cell(0, 2), QString::number(c.stage0));
    EXPECT_EQ(e.cell(0, 1), "0");
    EXPECT_EQ(e.cell(0, 3), "0");
  }
}

// ---- after the load --------------------------------------------------------------------

TEST(ProgramEditorWindow, KeyCodesAfterALoadFollowTheProgramDisplay) {
  const Bytes rightFirst = {0x02, 0x40, 0x00, 0x20, 0x00, 0x02};
  const Bytes leftFirst = {0x02, 0x20, 0x00, 0x40, 0x00, 0x02};
  struct Case {
    const char* display;
    const Bytes& keys;
  };
  const Case cases[] = {{"25", leftFirst},
                        {"24", rightFirst},
                        {"1", rightFirst},
                        {"", rightFirst},
                        {" 25", rightFirst}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display);
    testing::WindowFixture f;
    f.programText = c.display;
    Editor e(f);
    e.key(Qt::Key_End);  // program 25 in one step
    EXPECT_EQ(e.window.currentProgram(), 25);
    EXPECT_EQ(keyCodes(f.harness.ctrl()), c.keys);
    EXPECT_EQ(f.panelReads, 1);
  }
}

}  // namespace
}  // namespace calorix
