// The framed traced commands: code, length byte, parameters, end byte 0x80,
// sent one byte at a time. The controller answers every byte before the end
// byte with one byte and closes with a tail; the answers go to the exchange
// trace but are not judged, so the link status is 0 or 255 only.
#include <algorithm>
#include <initializer_list>

#include "core/Abort.h"
#include "link/Link.h"

namespace calorix {

namespace {

constexpr std::uint8_t kEnd = 0x80;
// The length byte counts the frame after the code; count + 5 must fit in it.
constexpr int kMaxWriteCount = 250;

const QString kNoLabel;
const QString kBuffer = QStringLiteral("Buffer");
const QString kBuffer1 = QStringLiteral("Buffer1");

std::uint8_t low(quint16 addr) {
  return static_cast<std::uint8_t>(addr & 0xFF);
}
std::uint8_t high(quint16 addr) {
  return static_cast<std::uint8_t>(addr >> 8);
}

struct FrameByte {
  std::uint8_t byte;
  const QString& label;
};

// One frame byte through TracedWrite, then its one-byte answer unless it is
// the end byte. False (status 255) ends the command.
bool frameByte(Link& link, std::uint8_t byte, const QString& label, bool readReply) {
  link.FrameBuf[0] = byte;
  link.TransferCount = 1;
  bool written = false;
  try {
    written = link.TracedWrite(label);
  } catch (...) {
    // The trace could not be continued; the byte was not written all the same.
    link.status = {255, status_text::writeFailed()};
    throw;
  }
  if (!written) {
    link.status = {255, status_text::writeFailed()};
    return false;
  }
  link.status.code = 0;
  if (readReply) {
    link.TransferCount = 1;
    link.TracedRead(kNoLabel);
  }
  return true;
}

// Sends the frame; every byte but the end byte gets its one-byte answer read.
bool sendFrame(Link& link, std::uint8_t code, std::initializer_list<FrameByte> params,
               const QString& endLabel, const std::uint8_t* data = nullptr, int count = 0) {
  // Length: everything after the code byte, the length byte and end byte included.
  const auto length = static_cast<std::uint8_t>(params.size() + count + 2);
  if (!frameByte(link, code, kNoLabel, true)) return false;
  if (!frameByte(link, length, kNoLabel, true)) return false;
  for (const FrameByte& p : params)
    if (!frameByte(link, p.byte, p.label, true)) return false;
  for (int i = 0; i < count; ++i)
    if (!frameByte(link, data[i], kNoLabel, true)) return false;
  return frameByte(link, kEnd, endLabel, false);
}

// The tail after the end byte of a command that returns no data.
void readShortTail(Link& link, const QString& lastLabel) {
  for (int i = 0; i < 3; ++i) {
    link.TransferCount = 1;
    link.TracedRead(i == 2 ? lastLabel : kNoLabel);
  }
}

// The tail of a block read: two single bytes, the data in one read, one byte.
// ReadBuf takes count bytes of the frame buffer whatever arrived.
void readBlockTail(Link& link, std::uint8_t count) {
  for (int i = 0; i < 2; ++i) {
    link.TransferCount = 1;
    link.TracedRead(kNoLabel);
  }
  link.TransferCount = count;
  link.TracedRead(kNoLabel);
  std::copy_n(link.FrameBuf.begin(), count, link.ReadBuf.begin());
  link.TransferCount = 1;
  link.TracedRead(kBuffer1);
}

void checkWriteCount(std::uint8_t count) {
  if (count > kMaxWriteCount)
    throw AbortAction(QString::fromUtf8("Блок записи слишком длинный: %1 байт (не более %2)")
                          .arg(count)
                          .arg(kMaxWriteCount));
}

}  // namespace

bool Link::sendFrameByte(std::uint8_t byte, const QString& label, bool readReply) {
  return frameByte(*this, byte, label, readReply);
}

void Link::SetRegBits(std::uint8_t reg, std::uint8_t orMask, std::uint8_t andMask) {
  tracedCommand([&] {
    if (sendFrame(*this, 0x01, {{reg, kNoLabel}, {orMask, kBuffer}, {andMask, kNoLabel}}, kBuffer))
      readShortTail(*this, kBuffer1);
  });
}

void Link::WrRam(quint16 addr, std::uint8_t count) {
  tracedCommand([&] {
    checkWriteCount(count);
    if (sendFrame(*this, 0x04, {{low(addr), kNoLabel}, {high(addr), kNoLabel}, {count, kNoLabel}},
                  kNoLabel, WriteBuf.data(), count))
      readShortTail(*this, kNoLabel);
  });
}

void Link::RdRam(quint16 addr, std::uint8_t count) {
  tracedCommand([&] {
    if (!sendFrameByte(0x05, kNoLabel, false)) {
      // The failed write's line once more, as the panel read-out expects to see it.
      WriteProtocol(ProtocolLine);
      return;
    }
    TransferCount = 1;
    TracedRead(kNoLabel);
    // Once the link has broken, every RdRam of the run stops after the command byte.
    if (FlagLinkBreak == 1) return;
    constexpr std::uint8_t kLength = 5;
    for (const FrameByte& p : {FrameByte{kLength, kNoLabel}, FrameByte{low(addr), kNoLabel},
                               FrameByte{high(addr), kBuffer}, FrameByte{count, kNoLabel}})
      if (!sendFrameByte(p.byte, p.label, true)) return;
    if (!sendFrameByte(kEnd, kBuffer, false)) return;
    readBlockTail(*this, count);
  });
}

void Link::WrProgMem(quint16 addr, std::uint8_t count) {
  tracedCommand([&] {
    checkWriteCount(count);
    if (sendFrame(*this, 0x06, {{low(addr), kNoLabel}, {high(addr), kNoLabel}, {count, kNoLabel}},
                  kNoLabel, WriteBuf.data(), count))
      readShortTail(*this, kNoLabel);
  });
}

void Link::RdProgMem(quint16 addr, std::uint8_t count) {
  tracedCommand([&] {
    if (sendFrame(*this, 0x07, {{low(addr), kNoLabel}, {high(addr), kBuffer}, {count, kNoLabel}},
                  kBuffer))
      readBlockTail(*this, count);
  });
}

void Link::SendPanelKey(std::uint8_t code) {
  tracedCommand([&] {
    if (sendFrame(*this, 0x08, {{code, kNoLabel}}, kNoLabel)) readShortTail(*this, kNoLabel);
  });
}

namespace {
void romPageCmd(Link& link, std::uint8_t code, quint16 addr) {
  if (sendFrame(link, code, {{low(addr), kNoLabel}, {high(addr), kBuffer}}, kBuffer))
    readShortTail(link, kBuffer1);
}
}  // namespace

void Link::RomPageCmd9(quint16 addr) {
  tracedCommand([&] { romPageCmd(*this, 0x09, addr); });
}

void Link::RomPageCmd10(quint16 addr) {
  tracedCommand([&] { romPageCmd(*this, 0x0A, addr); });
}

void Link::RomPageCmd11(quint16 addr) {
  tracedCommand([&] { romPageCmd(*this, 0x0B, addr); });
}

void Link::RdRom(quint16 addr, std::uint8_t count) {
  tracedCommand([&] {
    if (sendFrame(*this, 0x0C, {{low(addr), kNoLabel}, {high(addr), kBuffer}, {count, kNoLabel}},
                  kBuffer))
      readBlockTail(*this, count);
  });
}

void Link::RdPidFrame() {
  tracedCommand([&] {
    TransferCount = static_cast<std::uint32_t>(std::max(0, settings().dataPid));
    TracedRead(kNoLabel);
    // The same frame bytes whatever DataPid is: past what arrived they are what
    // earlier reads left in the frame buffer. Frame byte 35 lands twice.
    std::copy(FrameBuf.begin() + 3, FrameBuf.begin() + 36, RamMirror.begin());
    std::copy(FrameBuf.begin() + 35, FrameBuf.begin() + 323, RamMirror.begin() + 96);
  });
}

}  // namespace calorix
