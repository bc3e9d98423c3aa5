#include "sim/FramedCommands.h"

#include <algorithm>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"

namespace calorix::sim {
namespace {

using namespace ctl;

// The positions of SetRegBits' masks.
constexpr std::size_t kOrMaskAt = framed::kParamAt + 1;
constexpr std::size_t kAndMaskAt = framed::kParamAt + 2;
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
  if (bytes.size() == framed::kLengthAt + 1 && b < kShortestLength) {
    output_.put(b, at);
    output_.put(kTailRefused, at);
    return true;
  }
  if (bytes.size() < std::size_t(bytes[framed::kLengthAt]) + 1) {
    output_.put(b, at);
    return false;
  }
  execute(bytes, at);
  return true;
}

bool FramedCommands::wellFormed(const std::vector<std::uint8_t>& bytes) const {
  const framed::Command* cmd = framed::find(bytes.front());
  if (!cmd || bytes.back() != framed::kEnd) return false;
  const int count = cmd->params == framed::Params::Block && bytes.size() > framed::kCountAt
                        ? bytes[framed::kCountAt]
                        : 0;
  if (bytes[framed::kLengthAt] != cmd->length(count)) return false;
  return cmd->code != framed::kSetRegBits || bytes[framed::kParamAt] < ram::kRegisterCount;
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
  const framed::Command& cmd = framed::command(bytes.front());
  const bool addressed = cmd.params == framed::Params::Page || cmd.params == framed::Params::Block;
  const std::uint16_t addr = addressed ? le16(&bytes[framed::kParamAt]) : 0;
  std::vector<std::uint8_t> data;  // what a block read returns
  if (cmd.params == framed::Params::Block) {
    const std::span<std::uint8_t> memory = blockMemory(cmd.code);
    const std::size_t count = bytes[framed::kCountAt];
    for (std::size_t i = 0; i < count; ++i) {
      std::uint8_t& cell = memory[(addr + i) % memory.size()];
      if (cmd.data == framed::Data::Sent)
        cell = bytes[framed::kDataAt + i];
      else
        data.push_back(cell);
    }
  }
  // The ROM page a page command names, and the RAM window it is copied through.
  const std::size_t page = (addr % mem.rom.size()) & ~std::size_t(program::kRomPageBytes - 1);
  const auto window = mem.ram.begin() + ram::kRomPageWindow;
  switch (cmd.code) {
    case framed::kSetRegBits: {
      const std::uint8_t reg = bytes[framed::kParamAt];
      mem.reg(reg) = std::uint8_t((mem.reg(reg) | bytes[kOrMaskAt]) & bytes[kAndMaskAt]);
      firmware_.onRegisterChanged(reg);
      frames_.followRun(firmware_.pidFramesOn(), at);
      break;
    }
    case framed::kPanelKey:
      firmware_.onPanelKey(bytes[framed::kParamAt]);
      frames_.followRun(firmware_.pidFramesOn(), at);
      break;
    case framed::kRomPage9:  // page into the RAM window, so one program of the pair can be edited
      std::copy_n(mem.rom.begin() + page, program::kRomPageBytes, window);
      break;
    case framed::kRomPage10:  // erase
      std::fill_n(mem.rom.begin() + page, program::kRomPageBytes, kErasedRom);
      break;
    case framed::kRomPage11:  // the RAM window into the page
      std::copy_n(window, program::kRomPageBytes, mem.rom.begin() + page);
      break;
  }
  if (cmd.data == framed::Data::Returned)
    putReadTail(data, at);
  else
    putTail(at);
}

std::span<std::uint8_t> FramedCommands::blockMemory(std::uint8_t code) {
  switch (code) {
    case framed::kWrRam:
    case framed::kRdRam:
      return memory_.ram;
    case framed::kWrProgMem:
    case framed::kRdProgMem:
      return memory_.progMem;
    default:  // RdRom
      return memory_.rom;
  }
}

}  // namespace calorix::sim
