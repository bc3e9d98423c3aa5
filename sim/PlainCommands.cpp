#include "sim/PlainCommands.h"

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"

namespace calorix::sim {
namespace {

using namespace ctl;

// Positions in a plain command: the code, then the byte read's and byte
// write's address and value, or the block command's count and address.
constexpr std::size_t kAddrAt = 1;
constexpr std::size_t kValueAt = 3;
constexpr std::size_t kByteReadBytes = 3;   // code, address
constexpr std::size_t kByteWriteBytes = 4;  // code, address, value
constexpr std::size_t kCountAt = 1;
constexpr std::size_t kBlockAddrAt = 2;
constexpr std::size_t kBlockDataAt = 4;

std::uint16_t addressAt(const std::vector<std::uint8_t>& bytes, std::size_t low) {
  return le16(&bytes[low]);
}

}  // namespace

bool PlainCommands::continuesRamSwitch(std::uint8_t code, qint64 at) const {
  const bool inTime = at - ramStepAt_ <= options_.keyIdleMs;
  return (code == plain::kRamOutStep && ramStep_ == RamStep::SyncAnswered && inTime) ||
         (code == plain::kSync && ramStep_ == RamStep::StepAnswered && inTime);
}

bool PlainCommands::awaitsSwitchStep(std::uint8_t code) const {
  return code == plain::kRamOutStep && ramStep_ == RamStep::SyncAnswered;
}

void PlainCommands::answerSync(bool closesRamSwitch, qint64 at) {
  output_.put(plain::kDone, at);
  if (closesRamSwitch) {
    ramStep_ = RamStep::None;
    ramOut_ = !ramOut_;
    if (!ramOut_) frames_.setTelemetry(false, at);
  } else {
    ramStep_ = RamStep::SyncAnswered;
    ramStepAt_ = at;
  }
}

void PlainCommands::endLoneCode(std::uint8_t code, qint64 at) {
  if (awaitsSwitchStep(code)) {
    ramStep_ = RamStep::StepAnswered;
    ramStepAt_ = at;
    output_.put(plain::kDone, at);
    return;
  }
  ramStep_ = RamStep::None;
  pressKey(code, at);
}

void PlainCommands::pressKey(std::uint8_t key, qint64 at) {
  if (key == plainKey::kPB && ramOut_) frames_.setTelemetry(!frames_.telemetryOn(), at);
  firmware_.onPlainKey(key);
  frames_.followRun(firmware_.pidFramesOn(), at);
}

bool PlainCommands::readByte(const std::vector<std::uint8_t>& bytes, qint64 at) {
  output_.put(bytes.back(), at);
  if (bytes.size() < kByteReadBytes) return false;
  output_.put(memory_.ram[addressAt(bytes, kAddrAt)], at);
  output_.put(plain::kDone, at);
  return true;
}

bool PlainCommands::writeByte(const std::vector<std::uint8_t>& bytes, qint64 at) {
  output_.put(bytes.back(), at);
  if (bytes.size() < kByteWriteBytes) return false;
  memory_.ram[addressAt(bytes, kAddrAt)] = bytes[kValueAt];
  output_.put(plain::kDone, at);
  return true;
}

// Bytes: code, count, address low, address high, then for a write the data.
// Addresses wrap at the end of the block memory.
bool PlainCommands::block(const std::vector<std::uint8_t>& bytes, qint64 at) {
  auto& mem = memory_.blockMem;
  if (bytes.size() <= kBlockDataAt) output_.put(bytes.back(), at);
  if (bytes.size() < kBlockDataAt) return false;
  const std::size_t count = bytes[kCountAt];
  const std::size_t addr = addressAt(bytes, kBlockAddrAt);
  if (bytes.front() == plain::kRdBlock) {
    std::vector<std::uint8_t> data(count);
    for (std::size_t i = 0; i < count; ++i) data[i] = mem[(addr + i) % mem.size()];
    output_.putBlock(data, at);
    output_.put(plain::kDone, at);
    return true;
  }
  if (bytes.size() < kBlockDataAt + count) return false;
  std::vector<std::uint8_t> data(bytes.begin() + kBlockDataAt, bytes.end());
  for (std::size_t i = 0; i < count; ++i) mem[(addr + i) % mem.size()] = data[i];
  output_.putBlock(data, at);
  output_.put(plain::kDone, at);
  return true;
}

}  // namespace calorix::sim
