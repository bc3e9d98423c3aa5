#pragma once
// The framed layer as the controller speaks it: code, length (frame size - 1),
// parameters, end byte 0x80. Every byte before the end byte is echoed; after
// the end byte come three bytes, or for the block reads two bytes, the data
// and one byte. A damaged frame changes nothing and says so in its tail.
#include <QtGlobal>

#include <cstdint>
#include <span>
#include <vector>

#include "sim/Firmware.h"
#include "sim/LineOutput.h"
#include "sim/Memory.h"
#include "sim/OwnFrames.h"

namespace calorix::sim {

class FramedCommands {
 public:
  FramedCommands(ControllerMemory& memory, Firmware& firmware, LineOutput& output,
                 OwnFrames& frames)
      : memory_(memory), firmware_(firmware), output_(output), frames_(frames) {}

  // The frame so far, its code first, with its newest byte last; true once
  // the frame has been answered.
  bool frameByte(const std::vector<std::uint8_t>& bytes, qint64 at);

 private:
  bool wellFormed(const std::vector<std::uint8_t>& bytes) const;
  void execute(const std::vector<std::uint8_t>& bytes, qint64 at);
  // The memory a block command reads or writes.
  std::span<std::uint8_t> blockMemory(std::uint8_t code);
  void putTail(qint64 at);
  void putReadTail(const std::vector<std::uint8_t>& data, qint64 at);

  ControllerMemory& memory_;
  Firmware& firmware_;
  LineOutput& output_;
  OwnFrames& frames_;
};

}  // namespace calorix::sim
