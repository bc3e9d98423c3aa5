#include "link/FramedCommands.h"

#include <algorithm>
#include <cstring>

#include "core/Abort.h"
#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "link/TraceFormat.h"

namespace calorix {

namespace framed = ctl::framed;
namespace pidFrame = ctl::pidFrame;

namespace {

// A read that lasted this long means the line is gone: nothing is traced.
constexpr qint64 kBreakReadMs = 10000;

const QString kNoLabel;
const QString kBuffer = QStringLiteral("Buffer");
const QString kBuffer1 = QStringLiteral("Buffer1");

void checkWriteCount(std::size_t count) {
  if (count > std::size_t(framed::kMaxWriteCount))
    throw AbortAction(QString::fromUtf8("Блок записи слишком длинный: %1 байт (не более %2)")
                          .arg(qulonglong(count))
                          .arg(framed::kMaxWriteCount));
}

}  // namespace

FramedCommands::FramedCommands(Transport& transport, TraceFiles& trace, Clock& clock,
                               LinkState& state)
    : transport_(transport), trace_(trace), clock_(clock), state_(state) {}

// ---- traced transfers -------------------------------------------------------

bool FramedCommands::TracedWrite(std::uint8_t byte, const QString& label) {
  // Every traced write is one byte, byte 0 of the frame buffer.
  frameBuf_[0] = byte;
  const bool written = transport_.RawWrite(std::span(frameBuf_).first<1>());
  // The flag first: a trace that cannot be continued must not hide the break.
  if (!written) state_.FlagLinkBreak = 1;
  trace_.traceWrite(byte, written, label);
  return written;
}

std::span<const std::uint8_t> FramedCommands::TracedRead(std::uint32_t count,
                                                         const QString& /*label*/) {
  // The frame buffer holds 512 bytes; a longer read could not land anywhere.
  count = std::min<std::uint32_t>(count, kBufferBytes);
  const qint64 started = clock_.nowMs();
  const std::uint32_t n = transport_.RawRead(std::span(frameBuf_).first(count));
  const qint64 took = clock_.nowMs() - started;
  const auto got = std::span<const std::uint8_t>(frameBuf_).first(n);
  if (took >= kBreakReadMs) {
    state_.FlagLinkBreak = 1;
    return got;
  }
  trace_.traceRead(count, got, took);
  return got;
}

// ---- frames -------------------------------------------------------------------

bool FramedCommands::sendByte(std::uint8_t byte, const QString& label, bool readReply) {
  bool written = false;
  try {
    written = TracedWrite(byte, label);
  } catch (...) {
    // The trace could not be continued; the byte counts as not written.
    state_.setWriteFailed();
    throw;
  }
  if (!written) {
    state_.setWriteFailed();
    return false;
  }
  state_.status.code = 0;
  if (readReply) heard(TracedRead(1, kNoLabel).size(), 1);
  return true;
}

bool FramedCommands::commandUnheard(std::uint8_t code) {
  if (transport_.TransferDone() > 0) return false;
  trace_.WriteNote(trace::unheardNote(code));
  return true;
}

// The parameters, the data from WriteBuf and the end byte, after the length byte.
bool FramedCommands::sendRest(std::span<const FrameByte> params, const QString& endLabel,
                              std::size_t dataCount) {
  for (const FrameByte& p : params)
    if (!sendByte(p.byte, p.label, true)) return false;
  for (std::size_t i = 0; i < dataCount; ++i)
    if (!sendByte(writeBuf_[i], kNoLabel, true)) return false;
  return sendByte(framed::kEnd, endLabel, false);
}

// The reply after the end byte. A block read's data goes into ReadBuf, count
// bytes of the frame buffer whatever arrived.
void FramedCommands::readReply(const framed::Command& cmd, std::uint8_t count,
                               const QString& lastLabel) {
  if (cmd.data == framed::Data::Returned) {
    for (int i = 0; i < framed::kReadTailLeadBytes; ++i) heard(TracedRead(1, kNoLabel).size(), 1);
    heard(TracedRead(count, kNoLabel).size(), count);
    std::copy_n(frameBuf_.begin(), count, readBuf_.begin());
    heard(TracedRead(1, lastLabel).size(), 1);
  } else {
    for (int i = 0; i < framed::kShortTailBytes; ++i)
      heard(TracedRead(1, i == framed::kShortTailBytes - 1 ? lastLabel : kNoLabel).size(), 1);
  }
  noteAnswer();
}

void FramedCommands::send(std::uint8_t code, std::initializer_list<FrameByte> params,
                          const QString& endLabel, const QString& lastLabel,
                          std::span<const std::uint8_t> data) {
  const framed::Command& cmd = framed::command(code);
  Q_ASSERT(params.size() == std::size_t(framed::paramBytes(cmd.params)));
  // A block command's count is its last parameter.
  const std::uint8_t count = cmd.params == framed::Params::Block
                                 ? params.begin()[framed::kCountAt - framed::kParamAt].byte
                                 : 0;
  answered_ = false;
  everyReply_ = true;
  trace_.tracedCommand([&] {
    if (cmd.data == framed::Data::Sent) {
      checkWriteCount(data.size());
      // The bytes may be WriteBuf itself.
      if (!data.empty()) std::memmove(writeBuf_.data(), data.data(), data.size());
    }
    if (!sendByte(code, kNoLabel, true) || commandUnheard(code)) return;
    if (!sendByte(std::uint8_t(cmd.length(count)), kNoLabel, true)) return;
    if (sendRest(params, endLabel, cmd.data == framed::Data::Sent ? count : 0))
      readReply(cmd, count, lastLabel);
  });
}

// ---- commands -----------------------------------------------------------------

void FramedCommands::SetRegBits(std::uint8_t reg, std::uint8_t orMask, std::uint8_t andMask) {
  send(framed::kSetRegBits, {{reg, kNoLabel}, {orMask, kBuffer}, {andMask, kNoLabel}}, kBuffer,
       kBuffer1);
}

void FramedCommands::writeBlock(std::uint8_t code, quint16 addr,
                                std::span<const std::uint8_t> bytes) {
  // The count goes out as one byte; send() refuses a longer block first.
  const auto count = std::uint8_t(bytes.size());
  send(code, {{ctl::lowByte(addr), kNoLabel}, {ctl::highByte(addr), kNoLabel}, {count, kNoLabel}},
       kNoLabel, kNoLabel, bytes);
}

void FramedCommands::WrRam(quint16 addr, std::span<const std::uint8_t> bytes) {
  writeBlock(framed::kWrRam, addr, bytes);
}

void FramedCommands::WrProgMem(quint16 addr, std::span<const std::uint8_t> bytes) {
  writeBlock(framed::kWrProgMem, addr, bytes);
}

std::span<const std::uint8_t> FramedCommands::RdRam(quint16 addr, std::uint8_t count) {
  const framed::Command& cmd = framed::command(framed::kRdRam);
  answered_ = false;
  everyReply_ = true;
  trace_.tracedCommand([&] {
    if (!sendByte(cmd.code, kNoLabel, false)) {
      // The failed write's line once more, as the panel read-out expects to see it.
      trace_.WriteProtocol(trace_.ProtocolLine());
      return;
    }
    TracedRead(1, kNoLabel);
    // Once the link has broken, every RdRam of the run stops after the command byte.
    if (state_.FlagLinkBreak == 1) return;
    if (commandUnheard(cmd.code)) return;
    if (!sendByte(std::uint8_t(cmd.length()), kNoLabel, true)) return;
    const FrameByte params[] = {
        {ctl::lowByte(addr), kNoLabel}, {ctl::highByte(addr), kBuffer}, {count, kNoLabel}};
    if (sendRest(params, kBuffer)) readReply(cmd, count, kBuffer1);
  });
  return std::span<const std::uint8_t>(readBuf_).first(count);
}

std::span<const std::uint8_t> FramedCommands::readBlock(std::uint8_t code, quint16 addr,
                                                        std::uint8_t count) {
  send(code, {{ctl::lowByte(addr), kNoLabel}, {ctl::highByte(addr), kBuffer}, {count, kNoLabel}},
       kBuffer, kBuffer1);
  return std::span<const std::uint8_t>(readBuf_).first(count);
}

std::span<const std::uint8_t> FramedCommands::RdProgMem(quint16 addr, std::uint8_t count) {
  return readBlock(framed::kRdProgMem, addr, count);
}

std::span<const std::uint8_t> FramedCommands::RdRom(quint16 addr, std::uint8_t count) {
  return readBlock(framed::kRdRom, addr, count);
}

void FramedCommands::SendPanelKey(std::uint8_t code) {
  send(framed::kPanelKey, {{code, kNoLabel}}, kNoLabel, kNoLabel);
}

void FramedCommands::romPageCmd(std::uint8_t code, quint16 addr) {
  send(code, {{ctl::lowByte(addr), kNoLabel}, {ctl::highByte(addr), kBuffer}}, kBuffer, kBuffer1);
}

void FramedCommands::RomPageCmd9(quint16 addr) {
  romPageCmd(framed::kRomPage9, addr);
}

void FramedCommands::RomPageCmd10(quint16 addr) {
  romPageCmd(framed::kRomPage10, addr);
}

void FramedCommands::RomPageCmd11(quint16 addr) {
  romPageCmd(framed::kRomPage11, addr);
}

void FramedCommands::RdPidFrame(std::uint32_t dataPid) {
  trace_.tracedCommand([&] {
    TracedRead(dataPid, kNoLabel);
    // The same frame bytes whatever DataPid is: past what arrived they are what
    // earlier reads left in the frame buffer. Frame byte 35 lands twice.
    const auto frame = frameBuf_.begin();
    std::copy_n(frame + pidFrame::kRegistersFrom, pidFrame::kRegistersBytes, ramMirror_.begin());
    std::copy_n(frame + pidFrame::kRamFrom, pidFrame::kRamBytes,
                ramMirror_.begin() + pidFrame::kRamAddress);
  });
}

}  // namespace calorix
