#include "link/PlainCommands.h"

#include <algorithm>
#include <cstring>

#include "core/ByteCodec.h"

namespace calorix {

namespace plain = ctl::plain;

namespace {
constexpr qint64 kPauseMs = 100;
}  // namespace

PlainCommands::PlainCommands(Transport& transport, Clock& clock, LinkState& state,
                             const LinkHooks& hooks)
    : transport_(transport), clock_(clock), state_(state), hooks_(hooks) {}

void PlainCommands::ChkReply(std::uint8_t expected) {
  LinkStatus& status = state_.status;
  if (transport_.TransferDone() == 0) {
    status = {1, status_text::noAnswerBoards()};
  } else if (byteBuf_[1] == expected) {
    status = {0, status_text::done()};
    return;
  } else if (byteBuf_[1] == plain::kRefused) {
    status = {2, status_text::refused()};
  } else {
    status = {254, status_text::unknown()};
  }
  // Whatever else the controller sent belongs to the failed command.
  transport_.DrainPort();
}

std::uint32_t PlainCommands::readByte() {
  return transport_.RawRead(std::span(byteBuf_).subspan<1, 1>());
}

bool PlainCommands::echoed(std::uint8_t byte, bool commandByte) {
  byteBuf_[1] = byte;
  if (!transport_.RawWrite(std::span(byteBuf_).subspan<1, 1>())) {
    state_.setWriteFailed();
    return false;
  }
  state_.status.code = 0;
  readByte();
  // A command byte must come back as sent; an address or data byte may be
  // answered with anything, only silence is an error.
  ChkReply(commandByte ? byte : byteBuf_[1]);
  return state_.status.code == 0;
}

bool PlainCommands::writeHeaderByte(std::uint8_t byte) {
  byteBuf_[0] = byte;
  if (!transport_.RawWrite(std::span(byteBuf_).first<1>())) {
    state_.setWriteFailed();
    return false;
  }
  state_.status.code = 0;
  return true;
}

void PlainCommands::readClosing() {
  readByte();
  ChkReply(plain::kDone);
}

void PlainCommands::SyncCmd() {
  state_.status.text.clear();
  if (!echoed(plain::kSync, true)) return;
  readClosing();
  if (state_.status.code == 0) clock_.sleepMs(kPauseMs);
}

void PlainCommands::RdByteCmd(quint16 addr, std::uint8_t& value) {
  state_.status.text.clear();
  if (!echoed(plain::kRdByte, true)) {
    lastAnswer_ = unechoed();
    return;
  }
  lastAnswer_ = Answer::Partial;
  if (!echoed(ctl::lowByte(addr), false)) return;
  if (!echoed(ctl::highByte(addr), false)) return;
  if (readByte() == 0) {
    // The data byte itself is missing: reported with its own text, no drain.
    state_.status = {1, status_text::noAnswer()};
    return;
  }
  value = byteBuf_[1];
  readClosing();
  if (state_.status.code == 0) lastAnswer_ = Answer::Whole;
}

void PlainCommands::WrByteCmd(quint16 addr, std::uint8_t value) {
  state_.status.text.clear();
  if (!echoed(plain::kWrByte, true)) return;
  if (!echoed(ctl::lowByte(addr), false)) return;
  if (!echoed(ctl::highByte(addr), false)) return;
  if (!echoed(value, false)) return;
  readClosing();
}

// A byte of a typed read whose data did not arrive counts as 0.

void PlainCommands::RdByte(quint16 addr, std::uint8_t& value) {
  SyncCmd();
  RdByteCmd(addr, value);
  lastReadBytes_ = {value, 0, 0, 0};
  SyncCmd();
}

void PlainCommands::readBytes(quint16 addr, std::span<std::uint8_t> into) {
  bool whole = true;
  bool none = true;
  for (quint16 i = 0; i < into.size(); ++i) {
    RdByteCmd(quint16(addr + i), into[i]);
    whole = whole && lastAnswer_ == Answer::Whole;
    none = none && lastAnswer_ == Answer::None;
  }
  lastAnswer_ = whole ? Answer::Whole : none ? Answer::None : Answer::Partial;
}

void PlainCommands::RdWord(quint16 addr, quint16& value) {
  SyncCmd();
  std::array<std::uint8_t, 2> b{};
  readBytes(addr, b);
  value = ctl::le16(b.data());
  lastReadBytes_ = {b[0], b[1], 0, 0};
  SyncCmd();
}

void PlainCommands::RdDWord(quint16 addr, qint32& value) {
  SyncCmd();
  std::array<std::uint8_t, 4> b{};
  readBytes(addr, b);
  value = ctl::le32s(b.data());
  lastReadBytes_ = b;
  SyncCmd();
}

void PlainCommands::WrDWord(quint16 addr, qint32 value) {
  SyncCmd();
  const auto raw = static_cast<quint32>(value);
  if (hooks_.showDWordHalves) hooks_.showDWordHalves(quint16(raw >> 16), quint16(raw & 0xFFFF));
  std::array<std::uint8_t, 4> b{};
  ctl::putLe32(b.data(), raw);
  for (quint16 i = 0; i < b.size(); ++i) WrByteCmd(quint16(addr + i), b[i]);
  SyncCmd();
}

// Both block commands after the echoed code: the pause, count and address;
// false when a byte could not be written.
bool PlainCommands::blockHeader(std::uint8_t count, quint16 addr) {
  clock_.sleepMs(kPauseMs);
  for (std::uint8_t byte : {count, ctl::lowByte(addr), ctl::highByte(addr)})
    if (!writeHeaderByte(byte)) return false;
  return true;
}

PlainCommands::Answer PlainCommands::unechoed() const {
  const int code = state_.status.code;
  return code == 1 || code == 255 ? Answer::None : Answer::Partial;
}

// The controller echoes count and address (discarded), then the data, which
// replaces BlockBuf, then closes with 0x80. How many data bytes came is not
// checked for the status: a short read leaves the rest of BlockBuf as it was.
// A read that brings nothing at all ends the answer there with status 1, as
// the closing check would: the controller has stopped sending, and the reads
// after it would only wait out their time-outs.
PlainCommands::Answer PlainCommands::blockAnswer(std::uint8_t count) {
  const auto stopped = [this] {
    ChkReply(plain::kDone);  // nothing came: status 1, the input drained
    return Answer::Partial;
  };
  for (int i = 0; i < plain::kBlockEchoBytes; ++i)
    if (readByte() == 0) return stopped();
  const std::uint32_t got = transport_.RawRead(std::span(blockBuf_).first(count));
  if (count > 0 && got == 0) return stopped();
  readClosing();
  return got == count && state_.status.code == 0 ? Answer::Whole : Answer::Partial;
}

// A block holds at most BlockBuf's 8 bytes; a larger count would run past the
// buffer, so it is cut to 8 (the callers send 8 at most).
static std::uint8_t blockCount(std::size_t count) {
  return std::uint8_t(std::min<std::size_t>(count, plain::kMaxBlock));
}

void PlainCommands::WrBlock(quint16 addr, std::span<const std::uint8_t> bytes) {
  const std::uint8_t count = blockCount(bytes.size());
  // The bytes may be BlockBuf itself, as a read left it.
  if (count > 0) std::memmove(blockBuf_.data(), bytes.data(), count);
  state_.status.text.clear();
  lastAnswer_ = Answer::None;
  if (!echoed(plain::kWrBlock, true)) {
    lastAnswer_ = unechoed();
    return;
  }
  if (!blockHeader(count, addr)) return;
  if (!transport_.RawWrite(std::span(blockBuf_).first(count))) {
    state_.setWriteFailed();
    return;
  }
  state_.status.code = 0;
  lastAnswer_ = blockAnswer(count);
}

std::span<const std::uint8_t> PlainCommands::RdBlock(std::uint8_t count, quint16 addr) {
  count = blockCount(count);
  state_.status.text.clear();
  lastAnswer_ = Answer::None;
  if (!echoed(plain::kRdBlock, true))
    lastAnswer_ = unechoed();
  else if (blockHeader(count, addr))
    lastAnswer_ = blockAnswer(count);
  return std::span(blockBuf_).first(count);
}

void PlainCommands::showStatus() {
  if (hooks_.showControlStatus) hooks_.showControlStatus(state_.status.text);
}

void PlainCommands::SendKeyCode(std::uint8_t code) {
  state_.status.text.clear();
  echoed(code, true);  // a key code gets its echo and nothing more
  showStatus();
}

void PlainCommands::SendRamOutKey() {
  state_.status.text.clear();
  for (std::uint8_t byte : {plain::kSync, plain::kRamOutStep, plain::kSync}) {
    if (!echoed(byte, true)) break;
    clock_.sleepMs(kPauseMs);
    readClosing();
    if (state_.status.code != 0) break;
  }
  showStatus();
}

}  // namespace calorix
