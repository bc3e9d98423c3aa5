#pragma once
// The current-program editor on a WindowFixture: the frames the controller
// received, programs put into its memories, and the window driven through its
// grid, its combo box and its keys.
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

namespace calorix::testing::editor {

using Bytes = std::vector<std::uint8_t>;

inline const QString kAskSave = QString::fromUtf8("Сохранить изменения?");

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
inline std::vector<Frame> framesReceived(const sim::Controller& ctrl) {
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

inline constexpr std::uint8_t kWrRam = 0x04, kWrProgMem = 0x06, kRdProgMem = 0x07, kKey = 0x08,
                              kPage9 = 0x09, kPage10 = 0x0A, kPage11 = 0x0B, kRdRom = 0x0C;

inline bool writesMemory(const Frame& frame) {
  return frame.code == kWrRam || frame.code == kWrProgMem || frame.code == kPage9 ||
         frame.code == kPage10 || frame.code == kPage11;
}

inline std::vector<Frame> memoryWrites(const sim::Controller& ctrl) {
  std::vector<Frame> writes;
  for (const Frame& frame : framesReceived(ctrl))
    if (writesMemory(frame)) writes.push_back(frame);
  return writes;
}

inline Bytes keyCodes(const sim::Controller& ctrl) {
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
inline Program patternProgram(int n) {
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
inline Bytes stageRecord(const Program& p, int k) {
  const int t = p.cells[k][1], s = p.cells[k][2], v = p.cells[k][3];
  const int bits = k <= 8 ? (p.stage0() >> (2 * (k - 1))) & 3 : 0;
  return {std::uint8_t(s & 0xFF), std::uint8_t(((s >> 8) & 0x3F) | (bits << 6)),
          std::uint8_t(t & 0xFF), std::uint8_t(((t >> 8) & 0x0F) | (v << 4))};
}

inline std::uint8_t* programBytes(sim::ControllerMemory& mem, int n) {
  return n <= 17 ? mem.progMem.data() + 60 * (n - 1) : mem.rom.data() + 0x7C00 + 64 * (n - 18);
}

inline void putProgram(sim::ControllerMemory& mem, int n, const Program& p) {
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

}  // namespace calorix::testing::editor
