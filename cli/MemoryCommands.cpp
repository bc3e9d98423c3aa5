// read-ram, write-ram: RAM bytes with the framed commands the RAM inspector
// and the PID window use, numbers as the console's fields take them.
#include <QJsonArray>

#include <algorithm>

#include "cli/Command.h"
#include "cli/HexText.h"
#include "cli/ImageTransfer.h"
#include "core/Abort.h"
#include "core/ControllerMap.h"
#include "core/Parse.h"

namespace calorix::cli {

namespace {

constexpr int kDumpBytesPerLine = 16;

// A number by the console's rule for integer fields, within [low, high].
int number(const QString& text, const char* what, int low, int high) {
  qint32 value = 0;
  try {
    value = ParseIntText(text);
  } catch (const AbortAction& rejected) {
    throw CliError{kExitUsage, rejected.message()};
  }
  if (value < low || value > high)
    throw CliError{kExitUsage,
                   QStringLiteral("%1 %2 is outside %3..%4").arg(what, text).arg(low).arg(high)};
  return value;
}

// One time-out, not one per frame byte, when nothing answers.
void requireAnswer(CommandContext& ctx) {
  QString failure;
  if (!probeController(ctx.link(), &failure)) throw CliError{kExitLink, failure};
}

}  // namespace

int readRamCommand(CommandContext& ctx) {
  const int address = number(ctx.options.operands[0], "ADDR", 0, 0xFFFF);
  // The count travels as one byte of the frame.
  const int count = number(ctx.options.operands[1], "COUNT", 1, 0xFF);
  requireAnswer(ctx);
  Link& link = ctx.link();
  const Link::View got = link.RdRam(quint16(address), std::uint8_t(count));
  const QString what = QStringLiteral("RdRam %1 count %2").arg(hexAddress(address)).arg(count);
  if (const QString failed = framedFailure(link, what); !failed.isEmpty())
    throw CliError{kExitLink, failed};
  QJsonArray bytes;
  for (int at = 0; at < count; at += kDumpBytesPerLine) {
    const auto line =
        got.subspan(std::size_t(at), std::size_t(std::min(kDumpBytesPerLine, count - at)));
    ctx.say(QStringLiteral("%1  %2").arg(hexAddress((address + at) & 0xFFFF), hexBytes(line)));
  }
  for (std::uint8_t b : got) bytes.append(int(b));
  ctx.result[QStringLiteral("address")] = address;
  ctx.result[QStringLiteral("bytes")] = bytes;
  return kExitOk;
}

int writeRamCommand(CommandContext& ctx) {
  const int address = number(ctx.options.operands[0], "ADDR", 0, 0xFFFF);
  std::vector<std::uint8_t> bytes;
  for (qsizetype i = 1; i < ctx.options.operands.size(); ++i)
    bytes.push_back(std::uint8_t(number(ctx.options.operands[i], "BYTE", 0, 0xFF)));
  // The frame's length byte holds count + 5: the link's own limit, checked
  // before anything is sent.
  if (int(bytes.size()) > ctl::framed::kMaxWriteCount)
    throw CliError{kExitUsage, QStringLiteral("%1 bytes are too many for one write (at most %2)")
                                   .arg(bytes.size())
                                   .arg(ctl::framed::kMaxWriteCount)};
  // Past 0xFFFF the controller's address wraps to 0x0000, the registers: bytes
  // nobody asked to put there.
  if (address + int(bytes.size()) - 1 > 0xFFFF)
    throw CliError{kExitUsage, QStringLiteral("%1 byte(s) from %2 run past 0xFFFF")
                                   .arg(bytes.size())
                                   .arg(hexAddress(address))};
  requireAnswer(ctx);
  Link& link = ctx.link();
  try {
    link.WrRam(quint16(address), bytes);
  } catch (const AbortAction& refused) {
    throw CliError{kExitUsage, refused.message()};
  }
  const QString what =
      QStringLiteral("WrRam %1 count %2").arg(hexAddress(address)).arg(bytes.size());
  if (const QString failed = framedFailure(link, what); !failed.isEmpty())
    throw CliError{kExitLink, failed};
  ctx.say(
      QStringLiteral("%1 byte(s) written to RAM at %2").arg(bytes.size()).arg(hexAddress(address)));
  ctx.result[QStringLiteral("address")] = address;
  ctx.result[QStringLiteral("written")] = int(bytes.size());
  return kExitOk;
}

}  // namespace calorix::cli
