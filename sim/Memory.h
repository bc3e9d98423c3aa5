#pragma once
// The controller's memories as the emulator keeps them.
#include <QtGlobal>

#include <array>
#include <cstdint>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"

namespace calorix::sim {

struct ControllerMemory {
  // Working memory; registers R0..R31 are RAM 0..31. Addressed with the full
  // 16 bits so the RAM inspector can look anywhere.
  std::array<std::uint8_t, ctl::memory::kRamBytes> ram{};
  // Program memory: programs 1..17, 60 bytes each, at 60 * (n - 1).
  std::array<std::uint8_t, ctl::memory::kProgMemBytes> progMem{};
  // ROM, 32 KiB, addressed 0x0000..0x7FFF (the address is taken modulo 0x8000);
  // programs 18..25 at 0x7C00..0x7DFF, two to a 128-byte page.
  std::array<std::uint8_t, ctl::memory::kRomBytes> rom{};
  // The memory of the plain block commands: coefficient words 0x00..0x51,
  // program table 0x70..0x1FF.
  std::array<std::uint8_t, ctl::block::kSize> blockMem{};

  // Register n (R0..R31) is RAM byte n.
  std::uint8_t& reg(std::uint8_t n) { return ram[ctl::ram::kRegisters + n]; }
  std::uint8_t reg(std::uint8_t n) const { return ram[ctl::ram::kRegisters + n]; }

  // Little-endian values in RAM; an address past 0xFFFF wraps to 0x0000.
  std::uint16_t ramWord(std::uint16_t addr) const {
    const auto b = gather<2>(addr);
    return ctl::le16(b.data());
  }
  std::uint32_t ramDWord(std::uint16_t addr) const {
    const auto b = gather<4>(addr);
    return ctl::le32(b.data());
  }
  void setRamWord(std::uint16_t addr, std::uint16_t v) {
    std::array<std::uint8_t, 2> b{};
    ctl::putLe16(b.data(), v);
    scatter(addr, b);
  }
  void setRamDWord(std::uint16_t addr, std::uint32_t v) {
    std::array<std::uint8_t, 4> b{};
    ctl::putLe32(b.data(), v);
    scatter(addr, b);
  }

  // A 32-bit word of the block memory (coefficient words; never near its end).
  std::int32_t blockWord(std::uint16_t addr) const { return ctl::le32s(&blockMem[addr]); }
  void setBlockWord(std::uint16_t addr, std::uint32_t v) { ctl::putLe32(&blockMem[addr], v); }

 private:
  template <std::size_t N>
  std::array<std::uint8_t, N> gather(std::uint16_t addr) const {
    std::array<std::uint8_t, N> b{};
    for (std::size_t i = 0; i < N; ++i) b[i] = ram[std::uint16_t(addr + i)];
    return b;
  }
  template <std::size_t N>
  void scatter(std::uint16_t addr, const std::array<std::uint8_t, N>& b) {
    for (std::size_t i = 0; i < N; ++i) ram[std::uint16_t(addr + i)] = b[i];
  }
};

}  // namespace calorix::sim
