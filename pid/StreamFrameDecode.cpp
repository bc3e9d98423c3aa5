#include "pid/StreamFrameDecode.h"

#include <algorithm>

#include "core/ByteCodec.h"
#include "core/NumberText.h"

namespace calorix::pid {

namespace ram = ctl::ram;
namespace frame = ctl::streamFrame;

namespace {

// The room sensor's fraction byte, shown as hundredths: x 625 div 100.
constexpr unsigned kRoomFractionNumerator = 625;
constexpr unsigned kRoomFractionDenominator = 100;

QString fieldName(const char* name) {
  return QString::fromLatin1(name);
}

}  // namespace

StreamRam streamRam(StreamFrame bytes) {
  StreamRam image{};
  const auto registers = bytes.subspan<frame::kHeaderBytes, frame::kRegisterBytes>();
  const auto block = bytes.subspan<frame::kHeaderBytes + frame::kRegisterBytes, frame::kRamBytes>();
  std::copy(registers.begin(), registers.end(), image.begin() + ram::kRegisters);
  std::copy(block.begin(), block.end(), image.begin() + frame::kRamAddress);
  return image;
}

FieldTexts decodeStreamFrame(StreamFrame bytes) {
  const auto image = streamRam(bytes);
  return decodeStreamRam(RamImage(image));
}

FieldTexts decodeStreamRam(const RamImage& ram) {
  const std::uint8_t signs = ram.u8(ram::kSigns);
  const auto sign = [signs](std::uint8_t bit) { return ctl::flagSet(signs, bit); };
  // The sign goes before the whole text, the blanks of its width included.
  const auto coef = [&](ctl::Addr addr, std::uint8_t bit) {
    return withSign(sign(bit), fixedTextSingle(ctl::fromFixed1616(ram.s32(addr)), 5, 4));
  };
  const auto action = [&](ctl::Addr addr, std::uint8_t bit) {
    return withSign(sign(bit), fixedTextSingle(ctl::fromFixed1616(ram.s32(addr)), 5, 2));
  };
  const QString room = decimalText(ram.u8(ram::kRoomWhole)) + QLatin1Char(',') +
                       decimalText(unsigned(ram.u8(ram::kRoomFraction)) * kRoomFractionNumerator /
                                   kRoomFractionDenominator);

  return {
      {fieldName("EditTempDat"), room},
      {fieldName("Edit23"), decimalText(ram.u16(ram::kRawVoltage) & ram::kRawVoltageBits)},
      {fieldName("Edit24"), decimalText(ram.u16(ram::kNormVoltage))},
      {fieldName("Edit25"),
       fixedTextSingle(ctl::fromFraction8(ram.u24(ram::kTempCorrected)), 5, 4)},
      {fieldName("EditTempTP"), decimalText(ram.u16(ram::kTemperatureWhole))},
      {fieldName("EditPK"), coef(ram::kPK, ctl::sign::kPK)},
      {fieldName("EditDK"), coef(ram::kDK, ctl::sign::kDK)},
      {fieldName("EditIK"), coef(ram::kIK, ctl::sign::kIK)},
      {fieldName("EditTecErr"),
       withSign(sign(ctl::sign::kError), decimalText(ram.s32(ram::kError)))},
      {fieldName("EditSumErr"),
       withSign(sign(ctl::sign::kErrorSum), decimalText(ram.s32(ram::kErrorSum)))},
      {fieldName("EditPUV"), action(ram::kPUV, ctl::sign::kPUV)},
      {fieldName("EditDUV"), action(ram::kDUV, ctl::sign::kDUV)},
      {fieldName("EditIUV"), action(ram::kIUV, ctl::sign::kIUV)},
      {fieldName("EditAllUV"),
       withSign(ctl::flagSet(ram.u8(ram::kFlags), ctl::flags::kTotalNegativeStream),
                decimalText(ram.s32(ram::kTotalAction)))},
      {fieldName("EditPN"), decimalText(ram.u8(ram::kHeaterPower))},
  };
}

std::array<QString, 8> streamLogTexts(const FieldLookup& fields) {
  std::array<QString, 8> texts;
  const char* const names[] = {"EditTempTP", "EditPUV",    "EditDUV",    "EditIUV",
                               "EditAllUV",  "EditTecErr", "EditSumErr", "EditPN"};
  for (std::size_t i = 0; i < texts.size(); ++i) texts[i] = fields(fieldName(names[i]));
  return texts;
}

}  // namespace calorix::pid
