#pragma once
// The plain echoed commands: the controller answers every byte we send, echoes
// every command byte and closes a command with 0x80 (or refuses it with 0x81).
// They set the link status from the replies; none of them is traced.
#include <QtGlobal>

#include <array>
#include <cstdint>
#include <span>

#include "core/Clock.h"
#include "core/ControllerMap.h"
#include "link/LinkState.h"
#include "link/Transport.h"

namespace calorix {

class PlainCommands {
 public:
  // How the controller answered the last block command or byte read (for a
  // typed read: all of its byte reads).
  enum class Answer : std::uint8_t {
    Whole,    // every byte it was to send came, and the command closed with 0x80
    Partial,  // it answered, but not all of it or not as expected
    None,     // nothing: the command byte went unanswered or could not be sent
  };

  PlainCommands(Transport& transport, Clock& clock, LinkState& state, const LinkHooks& hooks);

  // The reply byte in ByteBuf[1] against the expected one; every failure
  // drains the input.
  void ChkReply(std::uint8_t expected);
  void SyncCmd();
  void RdByteCmd(quint16 addr, std::uint8_t& value);
  void WrByteCmd(quint16 addr, std::uint8_t value);
  // Typed reads and writes run every step whatever the status of the one
  // before; they leave the status of the closing SyncCmd.
  void RdByte(quint16 addr, std::uint8_t& value);
  void RdWord(quint16 addr, quint16& value);
  void RdDWord(quint16 addr, qint32& value);
  void WrDWord(quint16 addr, qint32 value);
  // A block of at most 8 bytes (a longer one is cut to 8). BlockBuf holds the
  // controller's echo afterwards.
  void WrBlock(quint16 addr, std::span<const std::uint8_t> bytes);
  // The count bytes of BlockBuf after the read; bytes that did not arrive keep
  // what the buffer held before.
  std::span<const std::uint8_t> RdBlock(std::uint8_t count, quint16 addr);
  void SendKeyCode(std::uint8_t code);
  void SendRamOutKey();

  const std::array<std::uint8_t, 2>& ByteBuf() const { return byteBuf_; }
  const std::array<std::uint8_t, ctl::plain::kMaxBlock>& BlockBuf() const { return blockBuf_; }
  const std::array<std::uint8_t, 4>& LastReadBytes() const { return lastReadBytes_; }
  Answer lastAnswer() const { return lastAnswer_; }

 private:
  // One echoed byte exchange; false ends the command.
  bool echoed(std::uint8_t byte, bool commandByte);
  // One byte of a block header, written without waiting for its answer.
  bool writeHeaderByte(std::uint8_t byte);
  // The closing byte of a command: 0x80 when the controller has done it.
  void readClosing();
  std::uint32_t readByte();
  bool blockHeader(std::uint8_t count, quint16 addr);
  // The answer of a block command; Whole only when every byte came and the
  // closing byte was 0x80.
  Answer blockAnswer(std::uint8_t count);
  // After a command byte that was not echoed: heard (a wrong byte) or not.
  Answer unechoed() const;
  // The typed reads: their byte reads in order, each answer folded in.
  void readBytes(quint16 addr, std::span<std::uint8_t> into);
  void showStatus();

  Transport& transport_;
  Clock& clock_;
  LinkState& state_;
  const LinkHooks& hooks_;
  // [1] carries every command and reply byte that ChkReply tests; [0] the
  // count and address bytes of the block commands.
  std::array<std::uint8_t, 2> byteBuf_{};
  std::array<std::uint8_t, ctl::plain::kMaxBlock> blockBuf_{};
  // The bytes of the last RdByte, RdWord or RdDWord, low byte first.
  std::array<std::uint8_t, 4> lastReadBytes_{};
  Answer lastAnswer_ = Answer::None;
};

}  // namespace calorix
