#pragma once
// The framed traced commands, one row each: code, the link operation's name,
// what follows the length byte, and where a block's data goes. The link builds
// its frames and reads its replies from this table, the emulator checks and
// answers frames by it, and the trace decoder names and splits commands by it.
//
// A frame: code, length byte (the frame bytes after the code, end byte
// included), parameters with addresses low byte first, the data of a block
// write, end byte 0x80. The controller answers every byte before the end byte
// with one byte; after it come three bytes, or for a block read two bytes, the
// data and one byte.
#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace calorix::ctl::framed {

inline constexpr std::uint8_t kSetRegBits = 0x01;
inline constexpr std::uint8_t kWrRam = 0x04;
inline constexpr std::uint8_t kRdRam = 0x05;
inline constexpr std::uint8_t kWrProgMem = 0x06;
inline constexpr std::uint8_t kRdProgMem = 0x07;
inline constexpr std::uint8_t kPanelKey = 0x08;
inline constexpr std::uint8_t kRomPage9 = 0x09;   // page into the RAM window
inline constexpr std::uint8_t kRomPage10 = 0x0A;  // erase the page
inline constexpr std::uint8_t kRomPage11 = 0x0B;  // the RAM window into the page
inline constexpr std::uint8_t kRdRom = 0x0C;
inline constexpr std::uint8_t kEnd = 0x80;

// Reply bytes after the end byte: three for a command without data; two,
// the data and one for a block read.
inline constexpr int kShortTailBytes = 3;
inline constexpr int kReadTailLeadBytes = 2;
inline constexpr int kReadTailEndBytes = 1;

// Positions in a frame.
inline constexpr std::size_t kLengthAt = 1;
inline constexpr std::size_t kParamAt = 2;  // register, key code, or address low
inline constexpr std::size_t kCountAt = 4;  // of a block command
inline constexpr std::size_t kDataAt = 5;   // of a block write

// What follows the length byte, before any data.
enum class Params : std::uint8_t {
  RegisterMasks,  // register, OR mask, AND mask
  Key,            // key code
  Page,           // address low, address high
  Block,          // address low, address high, count
};

// Where the count data bytes of a block command travel.
enum class Data : std::uint8_t { None, Sent, Returned };

constexpr int paramBytes(Params p) {
  switch (p) {
    case Params::Key:
      return 1;
    case Params::Page:
      return 2;
    case Params::RegisterMasks:
    case Params::Block:
      return 3;
  }
  return 0;
}

struct Command {
  std::uint8_t code;
  std::string_view name;
  Params params;
  Data data = Data::None;

  // The length byte of the frame; count: the block's count.
  constexpr int length(int count = 0) const {
    return paramBytes(params) + (data == Data::Sent ? count : 0) + 2;
  }
  // Bytes the controller sends after the end byte.
  constexpr int replyBytes(int count = 0) const {
    return data == Data::Returned ? kReadTailLeadBytes + count + kReadTailEndBytes
                                  : kShortTailBytes;
  }
};

inline constexpr std::array kCommands{
    Command{kSetRegBits, "SetRegBits", Params::RegisterMasks},
    Command{kWrRam, "WrRam", Params::Block, Data::Sent},
    Command{kRdRam, "RdRam", Params::Block, Data::Returned},
    Command{kWrProgMem, "WrProgMem", Params::Block, Data::Sent},
    Command{kRdProgMem, "RdProgMem", Params::Block, Data::Returned},
    Command{kPanelKey, "SendPanelKey", Params::Key},
    Command{kRomPage9, "RomPageCmd9", Params::Page},
    Command{kRomPage10, "RomPageCmd10", Params::Page},
    Command{kRomPage11, "RomPageCmd11", Params::Page},
    Command{kRdRom, "RdRom", Params::Block, Data::Returned},
};

// The row of a code; nullptr for a code that is no framed command.
constexpr const Command* find(std::uint8_t code) {
  for (const Command& c : kCommands)
    if (c.code == code) return &c;
  return nullptr;
}

// The row of a code the caller knows to be in the table.
constexpr const Command& command(std::uint8_t code) {
  return *find(code);
}

// A block write's count must leave its length within one byte.
inline constexpr int kMaxWriteCount = 0xFF - command(kWrRam).length();
static_assert(kMaxWriteCount == 250);

}  // namespace calorix::ctl::framed
