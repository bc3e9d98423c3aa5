#pragma once
// The controller's memories as the emulator keeps them.
#include <QtGlobal>

#include <array>
#include <cstdint>

namespace calorix::sim {

struct ControllerMemory {
  // Working memory; registers R0..R31 are RAM 0..31. Addressed with the full
  // 16 bits so the RAM inspector can look anywhere.
  std::array<std::uint8_t, 0x10000> ram{};
  // Program memory: programs 1..17, 60 bytes each, at 60 * (n - 1).
  std::array<std::uint8_t, 0x400> progMem{};
  // ROM, 32 KiB, addressed 0x0000..0x7FFF (the address is taken modulo 0x8000);
  // programs 18..25 at 0x7C00..0x7DFF, two to a 128-byte page.
  std::array<std::uint8_t, 0x8000> rom{};
  // The memory of the plain block commands: coefficient words 0x00..0x51,
  // program table 0x70..0x1FF.
  std::array<std::uint8_t, 0x200> blockMem{};

  std::uint16_t ramWord(std::uint16_t addr) const {
    return std::uint16_t(ram[addr] | (ram[std::uint16_t(addr + 1)] << 8));
  }
  std::uint32_t ramDWord(std::uint16_t addr) const {
    return std::uint32_t(ram[addr]) | (std::uint32_t(ram[std::uint16_t(addr + 1)]) << 8) |
           (std::uint32_t(ram[std::uint16_t(addr + 2)]) << 16) |
           (std::uint32_t(ram[std::uint16_t(addr + 3)]) << 24);
  }
  void setRamWord(std::uint16_t addr, std::uint16_t v) {
    ram[addr] = std::uint8_t(v);
    ram[std::uint16_t(addr + 1)] = std::uint8_t(v >> 8);
  }
  void setRamDWord(std::uint16_t addr, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) ram[std::uint16_t(addr + i)] = std::uint8_t(v >> (8 * i));
  }
};

}  // namespace calorix::sim
