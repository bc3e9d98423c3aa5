#include "link/FramedCommands.h"

#include <algorithm>
#include <cstring>

#include "core/Abort.h"
#include "core/ByteCodec.h"
#include "core/ControllerMap.h"

namespace calorix {

namespace framed = ctl::framed;
namespace pidFrame = ctl::pidFrame;

namespace {

// A read that lasted this long means the line is gone: nothing is traced.
constexpr qint64 kBreakReadMs = 10000;

const QString kNoLabel;
const QString kBuffer = QStringLiteral("Buffer");
const QString kBuffer1 = QStringLiteral("Buffer1");

// The length byte counts everything after the code: the parameters, the data,
// the length byte and the end byte.
std::uint8_t frameLength(std::size_t params, std::size_t dataCount) {
  return std::uint8_t(params + dataCount + 2);
}

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
  trace_.WriteNote(QString::fromUtf8("Нет ответа на код команды %1: кадр не отправлен")
                       .arg(uint(code), 2, 16, QLatin1Char('0'))
                       .toUpper());
  return true;
}

bool FramedCommands::sendFrame(std::uint8_t code, std::initializer_list<FrameByte> params,
                               const QString& endLabel, std::size_t dataCount) {
  if (!sendByte(code, kNoLabel, true)) return false;
  if (commandUnheard(code)) return false;
  if (!sendByte(frameLength(params.size(), dataCount), kNoLabel, true)) return false;
  for (const FrameByte& p : params)
    if (!sendByte(p.byte, p.label, true)) return false;
  for (std::size_t i = 0; i < dataCount; ++i)
    if (!sendByte(writeBuf_[i], kNoLabel, true)) return false;
  return sendByte(framed::kEnd, endLabel, false);
}

// The tail after the end byte of a command that returns no data.
void FramedCommands::readShortTail(const QString& lastLabel) {
  for (int i = 0; i < framed::kShortTailBytes; ++i)
    heard(TracedRead(1, i == framed::kShortTailBytes - 1 ? lastLabel : kNoLabel).size(), 1);
  noteAnswer();
}

// The tail of a block read: two single bytes, the data in one read, one byte.
// ReadBuf takes count bytes of the frame buffer whatever arrived.
void FramedCommands::readBlockTail(std::uint8_t count) {
  for (int i = 0; i < framed::kReadTailLeadBytes; ++i) heard(TracedRead(1, kNoLabel).size(), 1);
  heard(TracedRead(count, kNoLabel).size(), count);
  std::copy_n(frameBuf_.begin(), count, readBuf_.begin());
  heard(TracedRead(1, kBuffer1).size(), 1);
  noteAnswer();
}

void FramedCommands::command(const std::function<void()>& run) {
  answered_ = false;
  everyReply_ = true;
  trace_.tracedCommand(run);
}

// ---- commands -----------------------------------------------------------------

void FramedCommands::SetRegBits(std::uint8_t reg, std::uint8_t orMask, std::uint8_t andMask) {
  command([&] {
    if (sendFrame(framed::kSetRegBits, {{reg, kNoLabel}, {orMask, kBuffer}, {andMask, kNoLabel}},
                  kBuffer))
      readShortTail(kBuffer1);
  });
}

void FramedCommands::writeBlock(std::uint8_t code, quint16 addr,
                                std::span<const std::uint8_t> bytes) {
  command([&] {
    checkWriteCount(bytes.size());
    // The bytes may be WriteBuf itself.
    if (!bytes.empty()) std::memmove(writeBuf_.data(), bytes.data(), bytes.size());
    const auto count = std::uint8_t(bytes.size());
    if (sendFrame(
            code,
            {{ctl::lowByte(addr), kNoLabel}, {ctl::highByte(addr), kNoLabel}, {count, kNoLabel}},
            kNoLabel, count))
      readShortTail(kNoLabel);
  });
}

void FramedCommands::WrRam(quint16 addr, std::span<const std::uint8_t> bytes) {
  writeBlock(framed::kWrRam, addr, bytes);
}

void FramedCommands::WrProgMem(quint16 addr, std::span<const std::uint8_t> bytes) {
  writeBlock(framed::kWrProgMem, addr, bytes);
}

std::span<const std::uint8_t> FramedCommands::RdRam(quint16 addr, std::uint8_t count) {
  command([&] {
    if (!sendByte(framed::kRdRam, kNoLabel, false)) {
      // The failed write's line once more, as the panel read-out expects to see it.
      trace_.WriteProtocol(trace_.ProtocolLine());
      return;
    }
    TracedRead(1, kNoLabel);
    // Once the link has broken, every RdRam of the run stops after the command byte.
    if (state_.FlagLinkBreak == 1) return;
    if (commandUnheard(framed::kRdRam)) return;
    const FrameByte params[] = {
        {ctl::lowByte(addr), kNoLabel}, {ctl::highByte(addr), kBuffer}, {count, kNoLabel}};
    if (!sendByte(frameLength(std::size(params), 0), kNoLabel, true)) return;
    for (const FrameByte& p : params)
      if (!sendByte(p.byte, p.label, true)) return;
    if (!sendByte(framed::kEnd, kBuffer, false)) return;
    readBlockTail(count);
  });
  return std::span<const std::uint8_t>(readBuf_).first(count);
}

std::span<const std::uint8_t> FramedCommands::readBlock(std::uint8_t code, quint16 addr,
                                                        std::uint8_t count) {
  command([&] {
    if (sendFrame(
            code,
            {{ctl::lowByte(addr), kNoLabel}, {ctl::highByte(addr), kBuffer}, {count, kNoLabel}},
            kBuffer))
      readBlockTail(count);
  });
  return std::span<const std::uint8_t>(readBuf_).first(count);
}

std::span<const std::uint8_t> FramedCommands::RdProgMem(quint16 addr, std::uint8_t count) {
  return readBlock(framed::kRdProgMem, addr, count);
}

std::span<const std::uint8_t> FramedCommands::RdRom(quint16 addr, std::uint8_t count) {
  return readBlock(framed::kRdRom, addr, count);
}

void FramedCommands::SendPanelKey(std::uint8_t code) {
  command([&] {
    if (sendFrame(framed::kPanelKey, {{code, kNoLabel}}, kNoLabel)) readShortTail(kNoLabel);
  });
}

void FramedCommands::romPageCmd(std::uint8_t code, quint16 addr) {
  command([&] {
    if (sendFrame(code, {{ctl::lowByte(addr), kNoLabel}, {ctl::highByte(addr), kBuffer}}, kBuffer))
      readShortTail(kBuffer1);
  });
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
