// The frames the console reads, as trend samples: every quantity from its RAM
// address with its encoding and sign flag, and what a telemetry frame does
// not carry left absent.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "pid/TrendSampleDecode.h"

namespace calorix {
namespace {

namespace ram = ctl::ram;
using plot::Quantity;

// An image of controller RAM wide enough for the heating speed at 0x174.
struct Ram {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(0x200, 0);
  void u8(ctl::Addr a, std::uint8_t v) { bytes[a] = v; }
  void u16(ctl::Addr a, std::uint16_t v) { ctl::putLe16(&bytes[a], v); }
  void u32(ctl::Addr a, std::uint32_t v) { ctl::putLe32(&bytes[a], v); }
};

// One furnace state, as magnitudes and signs, written where the controller keeps it.
struct Case {
  const char* what;
  std::uint32_t temperature256, corrected256;
  std::uint16_t setTemperature, setSpeed;
  std::uint8_t power;
  std::uint32_t p1616, i1616, d1616, total;
  std::uint32_t error256;
  std::uint32_t speedWord;  // sign-magnitude, 8-bit fraction
  std::uint8_t signs, flags;
  std::uint8_t program, stage;
  // expected
  double temperature, corrected, p, i, d, totalAction, error, speed;
};

const Case kCases[] = {
    {"positive values with fractions",
     351 * 256 + 128,
     350 * 256 + 64,
     400,
     5,
     73,
     0x00018000,
     0x00004000,
     0x00000000,
     73,
     48 * 256 + 192,
     2 * 256 + 128,
     0x00,
     0x00,
     3,
     2,
     351.5,
     350.25,
     1.5,
     0.25,
     0.0,
     73.0,
     48.75,
     2.5},
    {"every sign flag set: actions, error, total, speed negative",
     1000 * 256,
     999 * 256,
     950,
     0,
     0,
     0x00028000,
     0x00010000,
     0x00008000,
     12,
     50 * 256,
     0x80000000u | (3 * 256 + 64),
     std::uint8_t(ctl::sign::kPUV | ctl::sign::kIUV | ctl::sign::kDUV | ctl::sign::kError),
     ctl::flags::kTotalNegativePid,
     7,
     15,
     1000.0,
     999.0,
     -2.5,
     -1.0,
     -0.5,
     -12.0,
     -50.0,
     -3.25},
    {"the stream's total sign bit means nothing in a PID frame",
     20 * 256,
     20 * 256,
     20,
     0,
     0,
     0,
     0,
     0,
     5,
     0,
     0,
     0x00,
     ctl::flags::kTotalNegativeStream,
     0,
     0,
     20.0,
     20.0,
     0,
     0,
     0,
     5.0,
     0,
     0},
};

Ram imageOf(const Case& c) {
  Ram r;
  r.u32(ram::kTemperature, c.temperature256);
  r.u32(ram::kTempCorrected, c.corrected256);
  r.u16(ram::kSetTemperature, c.setTemperature);
  r.u16(ram::kSetSpeed, c.setSpeed);
  r.u8(ram::kHeaterPower, c.power);
  r.u32(ram::kPUV, c.p1616);
  r.u32(ram::kIUV, c.i1616);
  r.u32(ram::kDUV, c.d1616);
  r.u32(ram::kTotalAction, c.total);
  r.u32(ram::kError, c.error256);
  r.u32(ram::kHeatingSpeed, c.speedWord);
  r.u8(ram::kSigns, c.signs);
  r.u8(ram::kFlags, c.flags);
  r.u8(ram::kProgramNumber, c.program);
  r.u8(ram::kStageNumber, c.stage);
  return r;
}

TEST(TrendSampleDecodeTest, PidFrameGivesEveryQuantityWithItsSign) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.what);
    const Ram r = imageOf(c);
    const plot::Sample s =
        pid::pidFrameSample(pid::RamImage(r.bytes), 1234567, plot::Source::PuskRun);
    EXPECT_EQ(s.timeMs, 1234567);
    EXPECT_EQ(s.source, plot::Source::PuskRun);
    EXPECT_DOUBLE_EQ(s.value(Quantity::Temperature), c.temperature);
    EXPECT_DOUBLE_EQ(s.value(Quantity::TempCorrected), c.corrected);
    EXPECT_DOUBLE_EQ(s.value(Quantity::SetTemperature), c.setTemperature);
    EXPECT_DOUBLE_EQ(s.value(Quantity::SetSpeed), c.setSpeed);
    EXPECT_DOUBLE_EQ(s.value(Quantity::HeaterPower), c.power);
    EXPECT_DOUBLE_EQ(s.value(Quantity::PAction), c.p);
    EXPECT_DOUBLE_EQ(s.value(Quantity::IAction), c.i);
    EXPECT_DOUBLE_EQ(s.value(Quantity::DAction), c.d);
    EXPECT_DOUBLE_EQ(s.value(Quantity::TotalAction), c.totalAction);
    EXPECT_DOUBLE_EQ(s.value(Quantity::Error), c.error);
    EXPECT_DOUBLE_EQ(s.value(Quantity::HeatingSpeed), c.speed);
    EXPECT_EQ(s.program, c.program);
    EXPECT_EQ(s.stage, c.stage);
  }
}

// The frame as it comes down the line: header, registers 0x00..0x1F, RAM 0x60..0x142.
std::array<std::uint8_t, ctl::streamFrame::kBytes> streamFrameOf(const Ram& r) {
  namespace frame = ctl::streamFrame;
  std::array<std::uint8_t, frame::kBytes> f{};
  std::copy_n(r.bytes.begin() + ram::kRegisters, frame::kRegisterBytes,
              f.begin() + frame::kHeaderBytes);
  std::copy_n(r.bytes.begin() + frame::kRamAddress, frame::kRamBytes,
              f.begin() + frame::kHeaderBytes + frame::kRegisterBytes);
  return f;
}

TEST(TrendSampleDecodeTest, TelemetryFrameGivesWhatItCarriesAndItsOwnTotalSign) {
  Case c = kCases[1];
  Ram r = imageOf(c);
  // The stream keeps the total action's sign in bit 6 of 0x02, not bit 2.
  r.u8(ram::kFlags, ctl::flags::kTotalNegativeStream);
  plot::Sample s = pid::streamFrameSample(streamFrameOf(r), 42);
  EXPECT_EQ(s.source, plot::Source::Stream);
  EXPECT_DOUBLE_EQ(s.value(Quantity::Temperature), c.temperature);
  EXPECT_DOUBLE_EQ(s.value(Quantity::SetTemperature), c.setTemperature);
  EXPECT_DOUBLE_EQ(s.value(Quantity::PAction), c.p);
  EXPECT_DOUBLE_EQ(s.value(Quantity::Error), c.error);
  EXPECT_DOUBLE_EQ(s.value(Quantity::TotalAction), -12.0);
  EXPECT_EQ(s.program, c.program);
  EXPECT_EQ(s.stage, c.stage);
  // 0x174 lies beyond the RAM block: absent, not zero.
  EXPECT_FALSE(s.has(Quantity::HeatingSpeed));

  r.u8(ram::kFlags, ctl::flags::kTotalNegativePid);
  s = pid::streamFrameSample(streamFrameOf(r), 42);
  EXPECT_DOUBLE_EQ(s.value(Quantity::TotalAction), 12.0);
}

}  // namespace
}  // namespace calorix
