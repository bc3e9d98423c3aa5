// The plain echoed commands: the controller answers every byte we send, echoes
// every command byte and closes a command with 0x80 (or refuses it with 0x81).
// None of these exchanges is traced.
#include <algorithm>

#include "link/Link.h"

namespace calorix {

namespace {

constexpr std::uint8_t kSync = 0x40;
constexpr std::uint8_t kWrByte = 0x02;
constexpr std::uint8_t kRdByte = 0x03;
constexpr std::uint8_t kWrBlock = 0x04;
constexpr std::uint8_t kRdBlock = 0x05;
constexpr std::uint8_t kDone = 0x80;
constexpr std::uint8_t kRefused = 0x81;
constexpr qint64 kPauseMs = 100;

std::uint8_t low(quint16 addr) {
  return static_cast<std::uint8_t>(addr & 0xFF);
}
std::uint8_t high(quint16 addr) {
  return static_cast<std::uint8_t>(addr >> 8);
}

}  // namespace

void Link::ChkReply(std::uint8_t expected) {
  if (TransferDone == 0) {
    status = {1, status_text::noAnswerBoards()};
  } else if (ByteBuf[1] == expected) {
    status = {0, status_text::done()};
    return;
  } else if (ByteBuf[1] == kRefused) {
    status = {2, status_text::refused()};
  } else {
    status = {254, status_text::unknown()};
  }
  // Whatever else the controller sent belongs to the failed command.
  DrainPort();
}

bool Link::echoed(std::uint8_t byte, bool commandByte) {
  ByteBuf[1] = byte;
  TransferCount = 1;
  if (!RawWrite(&ByteBuf[1])) {
    status = {255, status_text::writeFailed()};
    return false;
  }
  status.code = 0;
  TransferCount = 1;
  RawRead(&ByteBuf[1]);
  // A command byte must come back as sent; an address or data byte may be
  // answered with anything, only silence is an error.
  ChkReply(commandByte ? byte : ByteBuf[1]);
  return status.code == 0;
}

// One byte of a block header, written without waiting for its answer.
static bool writeHeaderByte(Link& link, std::uint8_t byte) {
  link.ByteBuf[0] = byte;
  link.TransferCount = 1;
  if (!link.RawWrite(&link.ByteBuf[0])) {
    link.status = {255, status_text::writeFailed()};
    return false;
  }
  link.status.code = 0;
  return true;
}

// The closing byte of a command: 0x80 when the controller has done it.
static void readClosing(Link& link) {
  link.TransferCount = 1;
  link.RawRead(&link.ByteBuf[1]);
  link.ChkReply(kDone);
}

void Link::SyncCmd() {
  status.text.clear();
  if (!echoed(kSync, true)) return;
  readClosing(*this);
  if (status.code == 0) clock().sleepMs(kPauseMs);
}

void Link::RdByteCmd(quint16 addr, std::uint8_t& value) {
  status.text.clear();
  if (!echoed(kRdByte, true)) return;
  if (!echoed(low(addr), false)) return;
  if (!echoed(high(addr), false)) return;
  TransferCount = 1;
  RawRead(&ByteBuf[1]);
  if (TransferDone == 0) {
    // The data byte itself is missing: reported with its own text, no drain.
    status = {1, status_text::noAnswer()};
    return;
  }
  value = ByteBuf[1];
  readClosing(*this);
}

void Link::WrByteCmd(quint16 addr, std::uint8_t value) {
  status.text.clear();
  if (!echoed(kWrByte, true)) return;
  if (!echoed(low(addr), false)) return;
  if (!echoed(high(addr), false)) return;
  if (!echoed(value, false)) return;
  readClosing(*this);
}

// The typed reads and writes run every step whatever the status of the one
// before; the status they leave is that of the closing SyncCmd. A byte whose
// data did not arrive counts as 0.

void Link::RdByte(quint16 addr, std::uint8_t& value) {
  SyncCmd();
  RdByteCmd(addr, value);
  LastReadBytes = {value, 0, 0, 0};
  SyncCmd();
}

void Link::RdWord(quint16 addr, quint16& value) {
  SyncCmd();
  std::array<std::uint8_t, 2> b{};
  for (quint16 i = 0; i < b.size(); ++i) RdByteCmd(static_cast<quint16>(addr + i), b[i]);
  value = static_cast<quint16>(b[1] << 8 | b[0]);
  LastReadBytes = {b[0], b[1], 0, 0};
  SyncCmd();
}

void Link::RdDWord(quint16 addr, qint32& value) {
  SyncCmd();
  std::array<std::uint8_t, 4> b{};
  for (quint16 i = 0; i < b.size(); ++i) RdByteCmd(static_cast<quint16>(addr + i), b[i]);
  const quint32 raw =
      quint32(b[0]) | quint32(b[1]) << 8 | quint32(b[2]) << 16 | quint32(b[3]) << 24;
  value = static_cast<qint32>(raw);
  LastReadBytes = b;
  SyncCmd();
}

void Link::WrDWord(quint16 addr, qint32 value) {
  SyncCmd();
  const auto raw = static_cast<quint32>(value);
  if (hooks.showDWordHalves)
    hooks.showDWordHalves(static_cast<quint16>(raw >> 16), static_cast<quint16>(raw & 0xFFFF));
  for (quint16 i = 0; i < 4; ++i)
    WrByteCmd(static_cast<quint16>(addr + i), static_cast<std::uint8_t>(raw >> (8 * i)));
  SyncCmd();
}

// A block holds at most BlockBuf's 8 bytes; a larger count would run past the
// buffer, so it is cut to 8 (the callers send 8 at most).
static std::uint8_t blockCount(std::uint8_t count, std::size_t capacity) {
  return static_cast<std::uint8_t>(std::min<std::size_t>(count, capacity));
}

// Both block commands: the code, the pause, count and address; false ends the
// command.
static bool blockHeader(Link& link, bool commandEchoed, std::uint8_t count, quint16 addr) {
  if (!commandEchoed) return false;
  link.clock().sleepMs(kPauseMs);
  for (std::uint8_t byte : {count, low(addr), high(addr)})
    if (!writeHeaderByte(link, byte)) return false;
  return true;
}

// The controller echoes count and address (discarded), then the data, which
// replaces BlockBuf, then closes with 0x80.
static void blockAnswer(Link& link, std::uint8_t count) {
  for (int i = 0; i < 3; ++i) {
    link.TransferCount = 1;
    link.RawRead(&link.ByteBuf[1]);
  }
  link.TransferCount = count;
  link.RawRead(link.BlockBuf.data());
  readClosing(link);
}

void Link::WrBlock(std::uint8_t count, quint16 addr) {
  count = blockCount(count, BlockBuf.size());
  status.text.clear();
  if (!blockHeader(*this, echoed(kWrBlock, true), count, addr)) return;
  TransferCount = count;
  if (!RawWrite(BlockBuf.data())) {
    status = {255, status_text::writeFailed()};
    return;
  }
  status.code = 0;
  blockAnswer(*this, count);
}

void Link::RdBlock(std::uint8_t count, quint16 addr) {
  count = blockCount(count, BlockBuf.size());
  status.text.clear();
  if (!blockHeader(*this, echoed(kRdBlock, true), count, addr)) return;
  blockAnswer(*this, count);
}

void Link::SendKeyCode(std::uint8_t code) {
  status.text.clear();
  echoed(code, true);  // a key code gets its echo and nothing more
  if (hooks.showControlStatus) hooks.showControlStatus(status.text);
}

void Link::SendRamOutKey() {
  status.text.clear();
  for (std::uint8_t byte : {kSync, std::uint8_t{0x01}, kSync}) {
    if (!echoed(byte, true)) break;
    clock().sleepMs(kPauseMs);
    readClosing(*this);
    if (status.code != 0) break;
  }
  if (hooks.showControlStatus) hooks.showControlStatus(status.text);
}

}  // namespace calorix
