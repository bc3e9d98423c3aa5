// The current-program editor against the emulator: what a change of program
// in ComboBox1 sends for each kind of edit, the order of the stage writes, the
// ROM page sequence of programs 18..25, the key codes after a load, and the
// refusal of cells that do not fit their stage record fields.
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
#include "tests/support/WindowFixture.h"

namespace calorix {
namespace {

using Bytes = std::vector<std::uint8_t>;

const QString kAskSave = QString::fromUtf8("Сохранить изменения?");

// ---- what the controller received, frame by frame ---------------------------

struct Frame {
  std::uint8_t code;
  Bytes params;  // the bytes between the length byte and the end byte

  quint16 addr() const { return quint16(params.at(0) | (params.at(1) << 8)); }
  int count() const { return params.at(2); }
  Bytes data() const { return Bytes(params.begin() + 3, params.end()); }
};

// The editor speaks only framed commands: code, length (frame size - 1),
// parameters, end byte.
std::vector<Frame> framesReceived(const sim::Controller& ctrl) {
  const Bytes& in = ctrl.received();
  std::vector<Frame> frames;
  std::size_t i = 0;
  while (i + 1 < in.size()) {
    const std::size_t size = std::size_t(in[i + 1]) + 1;
    EXPECT_LE(i + size, in.size()) << "truncated frame";
    if (i + size > in.size()) break;
    EXPECT_EQ(in[i + size - 1], 0x80) << "frame without its end byte";
    frames.push_back({in[i], Bytes(in.begin() + i + 2, in.begin() + i + size - 1)});
    i += size;
  }
  return frames;
}

constexpr std::uint8_t kWrRam = 0x04, kWrProgMem = 0x06, kRdProgMem = 0x07, kKey = 0x08,
                       kPage9 = 0x09, kPage10 = 0x0A, kPage11 = 0x0B, kRdRom = 0x0C;

bool writesMemory(const Frame& frame) {
  return frame.code == kWrRam || frame.code == kWrProgMem || frame.code == kPage9 ||
         frame.code == kPage10 || frame.code == kPage11;
}

std::vector<Frame> memoryWrites(const sim::Controller& ctrl) {
  std::vector<Frame> writes;
  for (const Frame& frame : framesReceived(ctrl))
    if (writesMemory(frame)) writes.push_back(frame);
  return writes;
}

Bytes keyCodes(const sim::Controller& ctrl) {
  Bytes codes;
  for (const Frame& frame : framesReceived(ctrl))
    if (frame.code == kKey) codes.push_back(frame.params.at(0));
  return codes;
}

// ---- programs as the controller holds them ------------------------------------

// One program's values: table rows 0..15, columns temperature, stabilisation
// time, heating speed; row 0 holds the stage-0 value in the time column.
struct Program {
  std::array<std::array<int, 4>, 16> cells{};
  int& stage0() { return cells[0][2]; }
  int stage0() const { return cells[0][2]; }
};

// A different, recognisable program for each number.
Program patternProgram(int n) {
  Program p;
  for (int k = 1; k <= 15; ++k) {
    p.cells[k][1] = (37 * n + 101 * k) % 4096;
    p.cells[k][2] = (977 * n + 131 * k) % 16384;
    p.cells[k][3] = (n + k) % 16;
  }
  p.stage0() = (0x9E37 * n) & 0xFFFF;
  return p;
}

// The 4-byte stage record, laid out as the controller keeps it.
Bytes stageRecord(const Program& p, int k) {
  const int t = p.cells[k][1], s = p.cells[k][2], v = p.cells[k][3];
  const int bits = k <= 8 ? (p.stage0() >> (2 * (k - 1))) & 3 : 0;
  return {std::uint8_t(s & 0xFF), std::uint8_t(((s >> 8) & 0x3F) | (bits << 6)),
          std::uint8_t(t & 0xFF), std::uint8_t(((t >> 8) & 0x0F) | (v << 4))};
}

std::uint8_t* programBytes(sim::ControllerMemory& mem, int n) {
  return n <= 17 ? mem.progMem.data() + 60 * (n - 1) : mem.rom.data() + 0x7C00 + 64 * (n - 18);
}

void putProgram(sim::ControllerMemory& mem, int n, const Program& p) {
  std::uint8_t* at = programBytes(mem, n);
  for (int k = 1; k <= 15; ++k) {
    const Bytes record = stageRecord(p, k);
    std::copy(record.begin(), record.end(), at + 4 * (k - 1));
  }
}

// ---- the window ------------------------------------------------------------------

struct Editor {
  explicit Editor(testing::WindowFixture& fixture) : f(fixture) {}

  testing::WindowFixture& f;
  TFormDataDide window{f.ctx};
  QComboBox* combo = window.findChild<QComboBox*>("ComboBox1");
  QTableWidget* grid = window.findChild<QTableWidget*>("StringGrid1");

  void key(Qt::Key k) { QTest::keyClick(combo, k); }
  // Steps the combo box to program n with the arrow keys; every step is a
  // selection of its own, so only for a grid without edits.
  void choose(int n) {
    while (combo->currentIndex() < n - 1) key(Qt::Key_Down);
    while (combo->currentIndex() > n - 1) key(Qt::Key_Up);
  }
  // Table row r, column c is grid row r + 1.
  QString cell(int row, int column) const { return grid->item(row + 1, column)->text(); }
  void setCell(int row, int column, const QString& text) {
    grid->item(row + 1, column)->setText(text);
  }
  void setCell(int row, int column, int value) { setCell(row, column, QString::number(value)); }

  // The grid shows p (row 0 shows 0, the stage-0 value, 0).
  void expectShows(const Program& p, const char* what) const {
    for (int row = 0; row <= 15; ++row)
      for (int column = 1; column <= 3; ++column) {
        const int want = row == 0 && column != 2 ? 0 : p.cells[row][column];
        EXPECT_EQ(cell(row, column), QString::number(want))
            << what << ": row " << row << " column " << column;
      }
  }
};

struct Edit {
  int row;
  int column;
  int value;
};

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
  const std::vector<Frame> frames = framesReceived(f.harness.ctrl());
  ASSERT_EQ(frames.size(), 1u) << "nothing after the unanswered stage write";
  EXPECT_EQ(frames[0].code, kWrProgMem);
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
