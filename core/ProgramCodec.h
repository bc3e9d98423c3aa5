#pragma once
// Byte layouts of the controller's program table (plain block memory
// 0x70..0x1FF, 50 records of four 16-bit words) and of its 25 temperature
// programs (15 stage records of 4 bytes each), and the ranges of the values
// typed into their grids. Plain functions: the program windows, the
// command-line tool and the emulator share them.
#include <QString>

#include <array>
#include <cstdint>
#include <optional>

#include "core/ControllerMap.h"
#include "core/FieldRange.h"

namespace calorix {

// ---- program table -----------------------------------------------------------

inline constexpr int kTableRecords = ctl::block::kTableRecords;
inline constexpr int kTableWords = 4;
inline constexpr int kTableRecordBytes = ctl::block::kTableRecordBytes;

using TableWords = std::array<quint16, kTableWords>;

// Record 1..50 at 0x70 + 8 (record - 1).
quint16 tableRecordAddress(int record);
// Four little-endian words from 8 bytes.
TableWords decodeTableRecord(const std::uint8_t* bytes);
void encodeTableRecord(const TableWords& words, std::uint8_t* bytes);

// ---- temperature programs ------------------------------------------------------

inline constexpr int kProgramCount = ctl::program::kCount;
inline constexpr int kLastProgMemProgram = ctl::program::kLastInProgMem;  // 18..25 live in ROM
inline constexpr int kStageCount = ctl::program::kStages;
inline constexpr int kStageBytes = ctl::program::kStageBytes;
inline constexpr int kProgramBytes = ctl::program::kBytes;  // 60

// Columns of a ProgramTable row.
enum ProgramColumn { kColStage = 0, kColTemperature = 1, kColStabTime = 2, kColSpeed = 3 };

// A program as the editor holds it: row 0 is stage 0 (column 2 the stage-0
// value, columns 1 and 3 zero), rows 1..15 the stages (stage number,
// temperature, stabilisation time, heating speed).
using ProgramTable = std::array<std::array<qint32, 4>, kStageCount + 1>;

bool inProgramMemory(int program);  // 1..17
// Where program n is read: 60 (n - 1) in program memory, 0x7C00 + 64 (n - 18) in ROM.
quint16 programAddress(int program);
// WrProgMem address of stage k of a program 1..17.
quint16 stageProgMemAddress(int program, int stage);
// 128-byte ROM page holding a program 18..25 (two programs to a page).
quint16 progPageBase(int program);
// RAM staging address of stage k of a program 18..25: 0x200 for the even
// program of a page, 0x240 for the odd one.
quint16 stageRamAddress(int program, int stage);

// 60 bytes into the table: stages 1..15 and the stage-0 value from bits 6..7
// of byte 1 of stages 1..8.
ProgramTable decodeProgram(const std::uint8_t* bytes);
// Stage record of stage 1..15 from the table; stages 1..8 carry their two
// bits of the stage-0 value.
std::array<std::uint8_t, kStageBytes> encodeStage(const ProgramTable& table, int stage);

// The range a cell of the table must keep to be stored, or nothing for the
// cells the controller does not store (stage 0's temperature and speed).
std::optional<FieldRange> programCellRange(int row, int column);

}  // namespace calorix
