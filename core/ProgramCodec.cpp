#include "core/ProgramCodec.h"

#include "core/ByteCodec.h"

namespace calorix {

// ---- program table -----------------------------------------------------------

quint16 tableRecordAddress(int record) {
  return quint16(ctl::block::kProgramTable + kTableRecordBytes * (record - 1));
}

TableWords decodeTableRecord(const std::uint8_t* bytes) {
  TableWords words{};
  for (int k = 0; k < kTableWords; ++k) words[k] = ctl::le16(bytes + 2 * k);
  return words;
}

void encodeTableRecord(const TableWords& words, std::uint8_t* bytes) {
  for (int k = 0; k < kTableWords; ++k) ctl::putLe16(bytes + 2 * k, words[k]);
}

// ---- temperature programs ------------------------------------------------------

bool inProgramMemory(int program) {
  return program >= 1 && program <= kLastProgMemProgram;
}

quint16 programAddress(int program) {
  if (inProgramMemory(program)) return quint16(kProgramBytes * (program - 1));
  return quint16(ctl::program::kRomBase +
                 ctl::program::kRomStride * (program - ctl::program::kFirstInRom));
}

quint16 stageProgMemAddress(int program, int stage) {
  return quint16(kProgramBytes * (program - 1) + kStageBytes * (stage - 1));
}

quint16 progPageBase(int program) {
  return quint16(ctl::program::kRomBase +
                 ctl::program::kRomPageBytes * ((program - ctl::program::kFirstInRom) / 2));
}

quint16 stageRamAddress(int program, int stage) {
  return quint16(ctl::ram::kRomPageWindow +
                 ctl::program::kRomStride * ((program - ctl::program::kFirstInRom) % 2) +
                 kStageBytes * (stage - 1));
}

ProgramTable decodeProgram(const std::uint8_t* bytes) {
  ProgramTable table{};
  qint32 stage0 = 0;
  for (int k = 1; k <= kStageCount; ++k) {
    const std::uint8_t* b = bytes + kStageBytes * (k - 1);
    table[k][kColStage] = k;
    table[k][kColTemperature] = b[2] + 256 * (b[3] & 0x0F);
    table[k][kColStabTime] = b[0] + 256 * (b[1] & 0x3F);
    table[k][kColSpeed] = b[3] >> 4;
    if (k <= 8) stage0 |= qint32((b[1] >> 6) & 0x03) << (2 * (k - 1));
  }
  table[0][kColStabTime] = stage0;
  return table;
}

std::array<std::uint8_t, kStageBytes> encodeStage(const ProgramTable& table, int stage) {
  const qint32 t = table[stage][kColTemperature];
  const qint32 s = table[stage][kColStabTime];
  const qint32 v = table[stage][kColSpeed];
  const qint32 p = table[0][kColStabTime];
  std::uint8_t high = std::uint8_t((s >> 8) & 0x3F);
  if (stage <= 8) high |= std::uint8_t(((p >> (2 * (stage - 1))) & 0x03) << 6);
  return {std::uint8_t(s & 0xFF), high, std::uint8_t(t & 0xFF),
          std::uint8_t(((t >> 8) & 0x0F) | ((v & 0x0F) << 4))};
}

std::optional<FieldRange> programCellRange(int row, int column) {
  if (row == 0) {
    if (column == kColStabTime) return kStage0Range;
    return std::nullopt;
  }
  switch (column) {
    case kColTemperature:
      return kTemperatureRange;
    case kColStabTime:
      return kStabTimeRange;
    case kColSpeed:
      return kSpeedRange;
    default:
      return std::nullopt;
  }
}

}  // namespace calorix
