#include "pid/TrendSampleDecode.h"

#include "core/ByteCodec.h"

namespace calorix::pid {

namespace ram = ctl::ram;
using plot::Quantity;

namespace {

double signedBy(bool negative, double magnitude) {
  return negative ? -magnitude : magnitude;
}

// The quantities both frames carry at the same addresses; the total action's
// sign flag differs between them.
plot::Sample commonSample(const RamImage& ram, qint64 timeMs, plot::Source source,
                          std::uint8_t totalNegativeBit) {
  const std::uint8_t signs = ram.u8(ram::kSigns);
  const auto negative = [signs](std::uint8_t bit) { return ctl::flagSet(signs, bit); };
  const auto action = [&](ctl::Addr addr, std::uint8_t bit) {
    return signedBy(negative(bit), ctl::fromFixed1616(ram.u32(addr)));
  };

  plot::Sample s;
  s.timeMs = timeMs;
  s.source = source;
  s.set(Quantity::Temperature, ctl::fromFraction8(ram.u32(ram::kTemperature)));
  s.set(Quantity::TempCorrected, ctl::fromFraction8(ram.u32(ram::kTempCorrected)));
  s.set(Quantity::SetTemperature, ram.u16(ram::kSetTemperature));
  s.set(Quantity::HeaterPower, ram.u8(ram::kHeaterPower));
  s.set(Quantity::PAction, action(ram::kPUV, ctl::sign::kPUV));
  s.set(Quantity::IAction, action(ram::kIUV, ctl::sign::kIUV));
  s.set(Quantity::DAction, action(ram::kDUV, ctl::sign::kDUV));
  s.set(Quantity::TotalAction, signedBy(ctl::flagSet(ram.u8(ram::kFlags), totalNegativeBit),
                                        double(ram.u32(ram::kTotalAction))));
  s.set(Quantity::SetSpeed, ram.u16(ram::kSetSpeed));
  s.set(Quantity::Error,
        signedBy(negative(ctl::sign::kError), ctl::fromFraction8(ram.u32(ram::kError))));
  s.program = ram.u8(ram::kProgramNumber);
  s.stage = ram.u8(ram::kStageNumber);
  return s;
}

}  // namespace

plot::Sample pidFrameSample(const RamImage& ram, qint64 timeMs, plot::Source source) {
  plot::Sample s = commonSample(ram, timeMs, source, ctl::flags::kTotalNegativePid);
  const std::uint32_t speed = ram.u32(ram::kHeatingSpeed);
  s.set(Quantity::HeatingSpeed, signedBy(ctl::signMagnitudeNegative(speed),
                                         ctl::fromFraction8(ctl::signMagnitudeValue(speed))));
  return s;
}

plot::Sample streamFrameSample(StreamFrame frame, qint64 timeMs) {
  const StreamRam image = streamRam(frame);
  return streamRamSample(RamImage(image), timeMs);
}

plot::Sample streamRamSample(const RamImage& image, qint64 timeMs) {
  return commonSample(image, timeMs, plot::Source::Stream, ctl::flags::kTotalNegativeStream);
}

StreamReading readStreamFrame(StreamFrame frame, qint64 timeMs) {
  const StreamRam bytes = streamRam(frame);
  const RamImage image(bytes);
  StreamReading reading;
  reading.fields = decodeStreamRam(image);
  reading.logTexts = streamLogTexts(lookupIn(reading.fields));
  reading.sample = streamRamSample(image, timeMs);
  return reading;
}

}  // namespace calorix::pid
