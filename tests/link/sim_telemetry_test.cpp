// The telemetry stream at a settable cadence, read as the console reads it:
// through the in-memory port under the virtual clock, a 3-byte header, the
// 32-byte register block and the 227-byte RAM block per frame.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "link/MemoryPort.h"
#include "link/Transport.h"
#include "sim/Controller.h"
#include "sim/FurnaceFirmware.h"
#include "sim/OwnFrames.h"

namespace calorix::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;
namespace sf = ctl::streamFrame;

// Stamps the emulator's time into both blocks of the frame, so that a frame
// tells when it was made and that its two blocks belong together.
class StampingFirmware : public PassiveFirmware {
 public:
  static constexpr ctl::Addr kRegisterStamp = 0x1C;  // R28..R31
  static constexpr ctl::Addr kRamStamp = 0x140;      // the last bytes of the RAM block
  void attach(ControllerMemory& memory) override {
    PassiveFirmware::attach(memory);
    mem_ = &memory;
  }
  void advanceTo(qint64 nowMs) override {
    mem_->setRamDWord(kRegisterStamp, std::uint32_t(nowMs));
    ctl::putLe16(&mem_->ram[kRamStamp], std::uint16_t(nowMs));
  }

 private:
  ControllerMemory* mem_ = nullptr;
};

struct StreamRig {
  StreamRig(qint64 periodMs, std::unique_ptr<Firmware> firmware) {
    ControllerOptions o;
    o.telemetryPeriodMs = periodMs;
    controller = std::make_unique<Controller>(o, std::move(firmware));
    port = std::make_unique<MemoryPort>(*controller, clock);
    port->setTimeouts(kNormalTimeouts);
  }

  Bytes read(std::uint32_t n) {
    Bytes got(n);
    got.resize(port->read(got.data(), n));
    return got;
  }
  Bytes write(std::uint8_t byte, std::uint32_t replies) {
    std::uint32_t done = 0;
    EXPECT_TRUE(port->write(&byte, 1, done));
    return read(replies);
  }

  // The RAM output switch as the console sends it (each step echoed, 100 ms,
  // then its 0x80), then P/B.
  void startStream() {
    for (std::uint8_t step : {ctl::plain::kSync, ctl::plain::kRamOutStep, ctl::plain::kSync}) {
      ASSERT_EQ(write(step, 1), Bytes{step});
      clock.advance(100);
      ASSERT_EQ(read(1), Bytes{ctl::plain::kDone});
    }
    ASSERT_TRUE(controller->ramOutEnabled());
    ASSERT_EQ(write(ctl::plainKey::kPB, 1), Bytes{ctl::plainKey::kPB});
    ASSERT_TRUE(controller->telemetryOn());
  }

  // One frame with the console's three reads; each must come whole.
  Bytes readFrame() {
    Bytes frame = read(sf::kHeaderBytes);
    EXPECT_EQ(frame.size(), std::size_t(sf::kHeaderBytes));
    for (std::uint32_t n : {sf::kRegisterBytes, sf::kRamBytes}) {
      const Bytes block = read(n);
      EXPECT_EQ(block.size(), n);
      frame.insert(frame.end(), block.begin(), block.end());
    }
    return frame;
  }

  VirtualClock clock;
  std::unique_ptr<Controller> controller;
  std::unique_ptr<MemoryPort> port;
};

// RAM byte at addr as a frame carries it (registers or RAM block).
std::uint8_t frameRam(const Bytes& frame, int addr) {
  if (addr < sf::kRegisterBytes) return frame[sf::kHeaderBytes + addr];
  return frame[sf::kHeaderBytes + sf::kRegisterBytes + (addr - sf::kRamAddress)];
}

TEST(TelemetryStream, AtLineRateFramesComeBackToBackWholeAndInOrder) {
  auto firmware = std::make_unique<StampingFirmware>();
  StreamRig rig(kLineRateTelemetryMs, std::move(firmware));
  auto& ram = rig.controller->memory().ram;
  for (int a = 0; a < 0x150; ++a) ram[a] = std::uint8_t(a * 13 + 7);
  rig.startStream();
  const qint64 started = rig.clock.nowMs();

  for (int k = 1; k <= 40; ++k) {
    SCOPED_TRACE(k);
    const Bytes frame = rig.readFrame();
    ASSERT_EQ(frame.size(), std::size_t(sf::kBytes));
    const qint64 due = started + k * kLineRateTelemetryMs;
    EXPECT_EQ(rig.clock.nowMs(), due) << "one frame per period, none waited for";
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 3), (Bytes{0xAA, 0x55, 0x00}));
    // Both blocks stamped at the frame's own time: whole, in order, none skipped.
    Bytes stamp(4);
    for (int i = 0; i < 4; ++i) stamp[i] = frameRam(frame, StampingFirmware::kRegisterStamp + i);
    EXPECT_EQ(qint64(ctl::le32(stamp.data())), due);
    const std::uint8_t ramStamp[2] = {frameRam(frame, StampingFirmware::kRamStamp),
                                      frameRam(frame, StampingFirmware::kRamStamp + 1)};
    EXPECT_EQ(ctl::le16(ramStamp), std::uint16_t(due));
    // Every other byte is RAM as the controller holds it.
    for (int a = 0; a < StampingFirmware::kRegisterStamp; ++a)
      ASSERT_EQ(frameRam(frame, a), ram[a]);
    for (int a = sf::kRamAddress; a < StampingFirmware::kRamStamp; ++a)
      ASSERT_EQ(frameRam(frame, a), ram[a]) << a;
    EXPECT_EQ(frameRam(frame, 0x142), ram[0x142]);
  }
  // P/B again ends the stream.
  EXPECT_EQ(rig.write(ctl::plainKey::kPB, 1), Bytes{ctl::plainKey::kPB});
  EXPECT_FALSE(rig.controller->telemetryOn());
  EXPECT_TRUE(rig.read(3).empty());
}

// The firmware keeps what the stream shows current frame by frame, with no run:
// a hot furnace cooling at rest.
TEST(TelemetryStream, IdleFurnaceStreamsItsModel) {
  FurnaceFirmwareOptions o;
  o.simSpeed = 60;  // a frame every 25 ms is 1.5 simulated seconds
  o.furnace.startC = 600;
  auto owned = std::make_unique<FurnaceFirmware>(o);
  FurnaceFirmware& firmware = *owned;
  StreamRig rig(kLineRateTelemetryMs, std::move(owned));
  rig.startStream();

  double previous = 1e9;
  int fell = 0;
  for (int k = 0; k < 400; ++k) {
    SCOPED_TRACE(k);
    const Bytes frame = rig.readFrame();
    ASSERT_EQ(frame.size(), std::size_t(sf::kBytes));
    auto at = [&](int addr) { return frameRam(frame, addr); };
    auto dword = [&](int addr) {
      const std::uint8_t b[4] = {at(addr), at(addr + 1), at(addr + 2), at(addr + 3)};
      return ctl::le32(b);
    };
    const std::uint8_t c0[3] = {at(ctl::ram::kTempCorrected), at(ctl::ram::kTempCorrected + 1),
                                at(ctl::ram::kTempCorrected + 2)};
    const double corrected = ctl::le24(c0) / 256.0;
    const double room = at(ctl::ram::kRoomWhole) + at(ctl::ram::kRoomFraction) / 16.0;
    const std::uint8_t c5[2] = {at(ctl::ram::kTemperatureWhole),
                                at(ctl::ram::kTemperatureWhole + 1)};
    // The frame is the model as it is now.
    EXPECT_NEAR(corrected + room, firmware.measuredC(), 2.0 / 256);
    EXPECT_EQ(ctl::le16(c5), std::lround(firmware.measuredC() * 256) >> 8);
    EXPECT_NEAR(room, firmware.furnace().roomC(), 1.0 / 32 + 1e-9);
    const std::uint8_t nv[2] = {at(ctl::ram::kNormVoltage), at(ctl::ram::kNormVoltage + 1)};
    EXPECT_NEAR(ctl::le16(nv) / 100.0, firmware.furnace().thermocoupleMv(), 0.05);
    const std::uint8_t rv[2] = {at(ctl::ram::kRawVoltage), at(ctl::ram::kRawVoltage + 1)};
    EXPECT_GT(ctl::le16(rv) & ctl::ram::kRawVoltageBits, 0);
    // PK follows the temperature through the factory cubic 0.002 T + 4.
    EXPECT_NEAR(std::int32_t(dword(ctl::ram::kPK)) / 65536.0, 0.002 * firmware.measuredC() + 4,
                0.01);
    // At rest the regulator acts on nothing.
    for (ctl::Addr a : {ctl::ram::kError, ctl::ram::kErrorSum, ctl::ram::kPUV, ctl::ram::kIUV,
                        ctl::ram::kDUV, ctl::ram::kTotalAction})
      EXPECT_EQ(dword(a), 0u) << a;
    EXPECT_EQ(at(ctl::ram::kSigns), 0);
    EXPECT_FALSE(at(ctl::ram::kFlags) & ctl::flags::kTotalNegativeStream);
    EXPECT_EQ(at(ctl::ram::kHeaterPower), 0);
    if (firmware.measuredC() < previous - 1e-9) ++fell;
    previous = firmware.measuredC();
  }
  // 10 simulated minutes from 600 °C: the stream shows the furnace cooling.
  EXPECT_LT(previous, 560);
  EXPECT_GT(fell, 40);
}

// A stream at line rate that nobody reads does not pile up without end, and
// what is kept is whole frames.
TEST(TelemetryStream, UnreadStreamKeepsABoundedBacklogOfWholeFrames) {
  StreamRig rig(kLineRateTelemetryMs, std::make_unique<PassiveFirmware>());
  rig.startStream();
  rig.clock.advance(60000);  // 2400 frames fall due
  rig.controller->advanceTo(rig.clock.nowMs());
  Bytes backlog(4 * OwnFrames::kMaxBacklogBytes);
  backlog.resize(rig.controller->take(backlog.data(), backlog.size(), rig.clock.nowMs()));
  EXPECT_GE(backlog.size(), OwnFrames::kMaxBacklogBytes);
  EXPECT_LE(backlog.size(), OwnFrames::kMaxBacklogBytes + sf::kBytes);
  ASSERT_EQ(backlog.size() % sf::kBytes, 0u);
  for (std::size_t at = 0; at < backlog.size(); at += sf::kBytes)
    ASSERT_EQ(Bytes(backlog.begin() + at, backlog.begin() + at + 3), (Bytes{0xAA, 0x55, 0x00}))
        << at;
  // Once read, the stream goes on at its cadence.
  const qint64 before = rig.clock.nowMs();
  EXPECT_EQ(rig.readFrame().size(), std::size_t(sf::kBytes));
  EXPECT_LE(rig.clock.nowMs() - before, kLineRateTelemetryMs);
}

}  // namespace
}  // namespace calorix::sim
