#include "sim/FramedCommands.h"

#include <algorithm>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"

namespace calorix::sim {
namespace {

using namespace ctl;

// Positions in a frame.
constexpr std::size_t kLengthAt = 1;
constexpr std::size_t kParamAt = 2;  // register, key code, or address low
constexpr std::size_t kOrMaskAt = 3;
constexpr std::size_t kAndMaskAt = 4;
constexpr std::size_t kCountAt = 4;
constexpr std::size_t kDataAt = 5;
// A length that leaves no room for parameters and the end byte.
constexpr std::uint8_t kShortestLength = 2;

// The tail says done, or refused for a damaged frame, with the plain layer's
// closing bytes.
constexpr std::uint8_t kTailDone = plain::kDone;
constexpr std::uint8_t kTailRefused = plain::kRefused;
constexpr std::uint8_t kErasedRom = 0xFF;

}  // namespace

bool FramedCommands::frameByte(const std::vector<std::uint8_t>& bytes, qint64 at) {
  const std::uint8_t b = bytes.back();
  if (bytes.size() == kLengthAt + 1 && b < kShortestLength) {
    output_.put(b, at);
    output_.put(kTailRefused, at);
    return true;
  }
  if (bytes.size() < std::size_t(bytes[kLengthAt]) + 1) {
    output_.put(b, at);
    return false;
  }
  execute(bytes, at);
  return true;
}

bool FramedCommands::wellFormed(const std::vector<std::uint8_t>& bytes) const {
  const std::size_t len = bytes[kLengthAt];
  if (bytes.back() != framed::kEnd) return false;
  switch (bytes.front()) {
    case framed::kSetRegBits:
      return len == framed::kRegBitsLength && bytes[kParamAt] < ram::kRegisterCount;
    case framed::kWrRam:
    case framed::kWrProgMem:
      return len >= framed::kWriteLengthOverCount &&
             len == std::size_t(bytes[kCountAt]) + framed::kWriteLengthOverCount;
    case framed::kRdRam:
    case framed::kRdProgMem:
    case framed::kRdRom:
      return len == framed::kBlockReadLength;
    case framed::kPanelKey:
      return len == framed::kPanelKeyLength;
    case framed::kRomPage9:
    case framed::kRomPage10:
    case framed::kRomPage11:
      return len == framed::kRomPageLength;
    default:
      return false;
  }
}

void FramedCommands::putTail(qint64 at) {
  for (int i = 0; i < framed::kShortTailBytes; ++i) output_.put(kTailDone, at);
}

void FramedCommands::putReadTail(const std::vector<std::uint8_t>& data, qint64 at) {
  for (int i = 0; i < framed::kReadTailLeadBytes; ++i) output_.put(kTailDone, at);
  output_.putBlock(data, at);
  output_.put(kTailDone, at);
}

void FramedCommands::execute(const std::vector<std::uint8_t>& bytes, qint64 at) {
  if (!wellFormed(bytes)) {
    for (int i = 0; i < framed::kShortTailBytes; ++i) output_.put(kTailRefused, at);
    return;
  }
  ControllerMemory& mem = memory_;
  const std::uint8_t code = bytes.front();
  const bool addressed = code != framed::kSetRegBits && code != framed::kPanelKey;
  const std::uint16_t addr = addressed ? le16(&bytes[kParamAt]) : 0;
  const std::size_t count = bytes.size() > kCountAt ? bytes[kCountAt] : 0;
  auto readFrom = [&](const auto& memory) {
    std::vector<std::uint8_t> data(count);
    for (std::size_t i = 0; i < count; ++i) data[i] = memory[(addr + i) % memory.size()];
    putReadTail(data, at);
  };
  auto writeTo = [&](auto& memory) {
    for (std::size_t i = 0; i < count; ++i) memory[(addr + i) % memory.size()] = bytes[kDataAt + i];
    putTail(at);
  };
  // The ROM page a page command names, and the RAM window it is copied through.
  const std::size_t page = (addr % mem.rom.size()) & ~std::size_t(program::kRomPageBytes - 1);
  const auto window = mem.ram.begin() + ram::kRomPageWindow;
  switch (code) {
    case framed::kSetRegBits: {
      const std::uint8_t reg = bytes[kParamAt];
      mem.reg(reg) = std::uint8_t((mem.reg(reg) | bytes[kOrMaskAt]) & bytes[kAndMaskAt]);
      firmware_.onRegisterChanged(reg);
      frames_.followRun(firmware_.pidFramesOn(), at);
      putTail(at);
      return;
    }
    case framed::kWrRam:
      writeTo(mem.ram);
      return;
    case framed::kRdRam:
      readFrom(mem.ram);
      return;
    case framed::kWrProgMem:
      writeTo(mem.progMem);
      return;
    case framed::kRdProgMem:
      readFrom(mem.progMem);
      return;
    case framed::kPanelKey:
      firmware_.onPanelKey(bytes[kParamAt]);
      frames_.followRun(firmware_.pidFramesOn(), at);
      putTail(at);
      return;
    case framed::kRomPage9:  // page into the RAM window, so one program of the pair can be edited
      std::copy_n(mem.rom.begin() + page, program::kRomPageBytes, window);
      putTail(at);
      return;
    case framed::kRomPage10:  // erase
      std::fill_n(mem.rom.begin() + page, program::kRomPageBytes, kErasedRom);
      putTail(at);
      return;
    case framed::kRomPage11:  // the RAM window into the page
      std::copy_n(window, program::kRomPageBytes, mem.rom.begin() + page);
      putTail(at);
      return;
    case framed::kRdRom:
      readFrom(mem.rom);
      return;
    default:
      return;
  }
}

}  // namespace calorix::sim
