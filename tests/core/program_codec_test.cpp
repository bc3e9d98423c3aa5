#include <gtest/gtest.h>

#include <numeric>

#include "core/Abort.h"
#include "core/ProgramCodec.h"

namespace calorix {
namespace {

TEST(ProgramTableCodec, RecordWordsAreLittleEndianAndRoundTrip) {
  const std::uint8_t bytes[8] = {0x34, 0x12, 0x00, 0x00, 0xFF, 0xFF, 0x01, 0x00};
  const TableWords words = decodeTableRecord(bytes);
  EXPECT_EQ(words, (TableWords{4660, 0, 65535, 1}));
  std::uint8_t back[8] = {};
  encodeTableRecord(words, back);
  EXPECT_TRUE(std::equal(std::begin(bytes), std::end(bytes), back));
}

TEST(ProgramTableCodec, RecordsFillAddresses0x70To0x1FF) {
  EXPECT_EQ(tableRecordAddress(1), 0x70);
  EXPECT_EQ(tableRecordAddress(2), 0x78);
  EXPECT_EQ(tableRecordAddress(50), 0x1F8);
  EXPECT_EQ(tableRecordAddress(50) + kTableRecordBytes, 0x200);
}

TEST(ProgramCodec, StageBytesDecodeIntoTemperatureTimeSpeedAndStage0Bits) {
  // 10 C5 F4 A1: time 0x0510, temperature 0x1F4, speed 10, stage-0 bits 11.
  struct Case {
    int stage;
    qint32 stage0;
  } cases[] = {{1, 0x0003}, {2, 0x000C}, {8, 0xC000}, {9, 0}, {15, 0}};
  for (const Case& c : cases) {
    std::array<std::uint8_t, kProgramBytes> bytes{};
    const int at = kStageBytes * (c.stage - 1);
    bytes[at] = 0x10;
    bytes[at + 1] = 0xC5;
    bytes[at + 2] = 0xF4;
    bytes[at + 3] = 0xA1;
    const ProgramTable table = decodeProgram(bytes.data());
    SCOPED_TRACE(c.stage);
    EXPECT_EQ(table[c.stage][kColStage], c.stage);
    EXPECT_EQ(table[c.stage][kColTemperature], 500);
    EXPECT_EQ(table[c.stage][kColStabTime], 1296);
    EXPECT_EQ(table[c.stage][kColSpeed], 10);
    EXPECT_EQ(table[0][kColStabTime], c.stage0);
    EXPECT_EQ(table[0][kColTemperature], 0);
    EXPECT_EQ(table[0][kColSpeed], 0);
  }
}

TEST(ProgramCodec, EncodingADecodedProgramGivesItsBytesBack) {
  // Every field bit used; stages 9..15 carry no stage-0 bits in byte 1.
  std::array<std::uint8_t, kProgramBytes> bytes{};
  std::iota(bytes.begin(), bytes.end(), std::uint8_t(0x9B));
  for (int k = 9; k <= kStageCount; ++k) bytes[kStageBytes * (k - 1) + 1] &= 0x3F;
  const ProgramTable table = decodeProgram(bytes.data());
  for (int k = 1; k <= kStageCount; ++k) {
    const auto record = encodeStage(table, k);
    for (int i = 0; i < kStageBytes; ++i)
      EXPECT_EQ(record[i], bytes[kStageBytes * (k - 1) + i]) << "stage " << k << " byte " << i;
  }
}

TEST(ProgramCodec, Stage0ValueIsSpreadOverStagesOneToEight) {
  ProgramTable table{};
  table[0][kColStabTime] = 0xB1E4;
  table[3][kColStabTime] = 0x3FFF;
  const std::uint8_t expectedTop[8] = {0, 1, 2, 3, 1, 0, 3, 2};  // bits 2(k-1)+1, 2(k-1)
  std::array<std::uint8_t, kProgramBytes> bytes{};
  for (int k = 1; k <= kStageCount; ++k) {
    const auto record = encodeStage(table, k);
    if (k <= 8) {
      EXPECT_EQ(record[1] >> 6, expectedTop[k - 1]) << k;
    }
    std::copy(record.begin(), record.end(), bytes.begin() + kStageBytes * (k - 1));
  }
  EXPECT_EQ(bytes[kStageBytes * 2 + 1], 0x3F | (2 << 6));  // time bits kept beside them
  EXPECT_EQ(bytes[kStageBytes * 8 + 1], 0);                // stage 9 carries none
  EXPECT_EQ(decodeProgram(bytes.data())[0][kColStabTime], 0xB1E4);
}

TEST(ProgramCodec, WhereEachProgramLives) {
  struct Case {
    int program;
    bool progMem;
    quint16 address;
  } cases[] = {{1, true, 0},        {2, true, 60},       {17, true, 960},
               {18, false, 0x7C00}, {19, false, 0x7C40}, {25, false, 0x7DC0}};
  for (const Case& c : cases) {
    EXPECT_EQ(inProgramMemory(c.program), c.progMem) << c.program;
    EXPECT_EQ(programAddress(c.program), c.address) << c.program;
  }
  EXPECT_EQ(stageProgMemAddress(1, 1), 0);
  EXPECT_EQ(stageProgMemAddress(2, 3), 68);
  EXPECT_EQ(stageProgMemAddress(17, 15), 960 + 56);
}

TEST(ProgramCodec, RomProgramsGoThroughTheirPageAndRamHalf) {
  struct Case {
    int program;
    quint16 page;
    quint16 firstStage;
  } cases[] = {{18, 0x7C00, 0x200}, {19, 0x7C00, 0x240}, {20, 0x7C80, 0x200}, {21, 0x7C80, 0x240},
               {22, 0x7D00, 0x200}, {23, 0x7D00, 0x240}, {24, 0x7D80, 0x200}, {25, 0x7D80, 0x240}};
  for (const Case& c : cases) {
    EXPECT_EQ(progPageBase(c.program), c.page) << c.program;
    EXPECT_EQ(stageRamAddress(c.program, 1), c.firstStage) << c.program;
    EXPECT_EQ(stageRamAddress(c.program, 15), c.firstStage + 56) << c.program;
    // The program's own half of its page.
    EXPECT_EQ(programAddress(c.program) - c.page, c.firstStage - 0x200) << c.program;
  }
}

TEST(FieldRanges, OutOfRangeValuesAreRefusedWithValueAndRange) {
  EXPECT_EQ(outOfRangeMessage(70000, kWordRange),
            QString::fromUtf8("Значение 70000 вне диапазона 0..65535"));
  struct Case {
    qint64 value;
    FieldRange range;
    bool accepted;
  } cases[] = {{0, kWordRange, true},           {65535, kWordRange, true},
               {65536, kWordRange, false},      {-1, kWordRange, false},
               {4095, kTemperatureRange, true}, {4096, kTemperatureRange, false},
               {16383, kStabTimeRange, true},   {16384, kStabTimeRange, false},
               {15, kSpeedRange, true},         {16, kSpeedRange, false},
               {255, kByteCountRange, true},    {256, kByteCountRange, false}};
  for (const Case& c : cases) {
    if (c.accepted) {
      EXPECT_NO_THROW(requireInRange(c.value, c.range)) << c.value;
    } else {
      try {
        requireInRange(c.value, c.range);
        ADD_FAILURE() << c.value << " accepted";
      } catch (const AbortAction& refused) {
        EXPECT_EQ(refused.message(), outOfRangeMessage(c.value, c.range));
      }
    }
  }
}

TEST(FieldRanges, OnlyStoredCellsOfAProgramHaveARange) {
  EXPECT_FALSE(programCellRange(0, kColTemperature));
  EXPECT_FALSE(programCellRange(0, kColSpeed));
  EXPECT_EQ(programCellRange(0, kColStabTime)->hi, 65535);
  EXPECT_EQ(programCellRange(1, kColTemperature)->hi, 4095);
  EXPECT_EQ(programCellRange(15, kColStabTime)->hi, 16383);
  EXPECT_EQ(programCellRange(8, kColSpeed)->hi, 15);
}

}  // namespace
}  // namespace calorix
