#pragma once
// The framed traced commands: code, length byte, parameters, end byte 0x80,
// sent one byte at a time. The controller answers every byte before the end
// byte with one byte and closes with a tail; the answers go to the exchange
// trace but are not judged, so the link status is 0 or 255 only. One answer
// is looked at: when the command byte brings no reply at all, the rest of the
// frame is not sent (a dead line costs one time-out per command, not one per
// byte); the status stays 0 and lastAnswered() is false. Here are the
// traced transfers themselves (TracedWrite, TracedRead: the port side and the
// 10 s rule; the trace unit writes their lines) and the buffers of the layer.
#include <QString>
#include <QtGlobal>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>

#include "core/Clock.h"
#include "core/FramedCommandTable.h"
#include "link/LinkState.h"
#include "link/TraceFiles.h"
#include "link/Transport.h"

namespace calorix {

class FramedCommands {
 public:
  // The frame buffer, ReadBuf, WriteBuf and RamMirror.
  static constexpr std::size_t kBufferBytes = 512;
  using Buffer = std::array<std::uint8_t, kBufferBytes>;

  FramedCommands(Transport& transport, TraceFiles& trace, Clock& clock, LinkState& state);

  void SetRegBits(std::uint8_t reg, std::uint8_t orMask, std::uint8_t andMask);
  // The bytes go into WriteBuf and out in the frame; more than 250 are
  // refused (AbortAction) before any byte.
  void WrRam(quint16 addr, std::span<const std::uint8_t> bytes);
  void WrProgMem(quint16 addr, std::span<const std::uint8_t> bytes);
  // The block reads hand back ReadBuf[0..count): what the data read brought,
  // and where it came short, what the frame buffer held before.
  std::span<const std::uint8_t> RdRam(quint16 addr, std::uint8_t count);
  std::span<const std::uint8_t> RdProgMem(quint16 addr, std::uint8_t count);
  std::span<const std::uint8_t> RdRom(quint16 addr, std::uint8_t count);
  void SendPanelKey(std::uint8_t code);
  void RomPageCmd9(quint16 addr);
  void RomPageCmd10(quint16 addr);
  void RomPageCmd11(quint16 addr);
  // Reads the frame the controller sends by itself (dataPid bytes) and copies
  // its fixed parts into RamMirror; sends nothing, leaves the status alone.
  void RdPidFrame(std::uint32_t dataPid);

  // One byte out through the port and into the trace; false when it failed,
  // which also sets FlagLinkBreak and breaks the trace file off.
  bool TracedWrite(std::uint8_t byte, const QString& label);
  // Up to count bytes (at most the frame buffer) into the frame buffer;
  // returns what arrived. A read of 10 s or more sets FlagLinkBreak and is
  // not traced. The label is not used.
  std::span<const std::uint8_t> TracedRead(std::uint32_t count, const QString& label);

  // Every byte of the last command went out and every reply it waits for came
  // back whole (each one-byte answer, a block read's data, the tail): a reply
  // missing in the middle shifts the bytes that follow, so the data read would
  // hold another command's answer. RdPidFrame sends nothing and leaves it as
  // it was.
  bool lastAnswered() const { return answered_; }

  const Buffer& FrameBuf() const { return frameBuf_; }
  const Buffer& ReadBuf() const { return readBuf_; }
  const Buffer& WriteBuf() const { return writeBuf_; }
  const Buffer& RamMirror() const { return ramMirror_; }

 private:
  struct FrameByte {
    std::uint8_t byte;
    const QString& label;
  };
  // One frame byte and, unless it is the end byte, its one-byte answer.
  bool sendByte(std::uint8_t byte, const QString& label, bool readReply);
  // A whole command of the table: code, length, parameters, the data (a block
  // write's, from `data` through WriteBuf), end byte, then the reply. endLabel
  // goes with the end byte, lastLabel with the reply's last read.
  void send(std::uint8_t code, std::initializer_list<FrameByte> params, const QString& endLabel,
            const QString& lastLabel, std::span<const std::uint8_t> data = {});
  // The parameters, dataCount bytes of WriteBuf and the end byte.
  bool sendRest(std::span<const FrameByte> params, const QString& endLabel,
                std::size_t dataCount = 0);
  // The command byte just sent brought no reply at all: the controller is not
  // listening, and the rest of the frame would reach it as bytes of their own
  // (each taken for a command). Notes it in the trace and says so.
  bool commandUnheard(std::uint8_t code);
  // The reads after the end byte, as the table gives them for the command.
  void readReply(const ctl::framed::Command& cmd, std::uint8_t count, const QString& lastLabel);
  void noteAnswer() { answered_ = everyReply_ && transport_.TransferDone() > 0; }
  void heard(std::size_t got, std::size_t wanted) { everyReply_ = everyReply_ && got == wanted; }
  void writeBlock(std::uint8_t code, quint16 addr, std::span<const std::uint8_t> bytes);
  std::span<const std::uint8_t> readBlock(std::uint8_t code, quint16 addr, std::uint8_t count);
  void romPageCmd(std::uint8_t code, quint16 addr);

  Transport& transport_;
  TraceFiles& trace_;
  Clock& clock_;
  LinkState& state_;
  Buffer frameBuf_{};
  Buffer readBuf_{};
  Buffer writeBuf_{};
  // Image of controller RAM, index = address.
  Buffer ramMirror_{};
  bool answered_ = false;
  bool everyReply_ = true;  // no reply of the command in progress came short
};

}  // namespace calorix
