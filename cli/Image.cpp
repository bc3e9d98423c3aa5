#include "cli/Image.h"

#include <QCryptographicHash>
#include <QList>
#include <QStringList>

#include <algorithm>

#include "cli/HexText.h"
#include "core/ProgramCodec.h"

namespace calorix::cli {

namespace {

constexpr int kBytesPerLine = 16;
// A difference text shows at most this many bytes of each side.
constexpr int kShownDifferenceBytes = 16;

QString regionLine(const RegionLayout& part) {
  return QStringLiteral("region %1 %2 %3 %4")
      .arg(part.name, memoryName(part.memory), hexAddress(part.address))
      .arg(part.size);
}

QByteArray checksumOf(const QByteArray& content) {
  return QCryptographicHash::hash(content, QCryptographicHash::Sha256).toHex();
}

QString programName(int program) {
  return QStringLiteral("program-%1").arg(program, 2, 10, QLatin1Char('0'));
}

std::vector<RegionLayout> makeLayout(int version) {
  namespace block = ctl::block;
  namespace ram = ctl::ram;
  namespace prog = ctl::program;
  std::vector<RegionLayout> layout;
  layout.push_back({QStringLiteral("coefficients"), RegionKind::CoefWords, Memory::Block,
                    block::kCoefFirst, block::kCoefLast - block::kCoefFirst + 1});
  layout.push_back({QStringLiteral("program-table"), RegionKind::ProgramTable, Memory::Block,
                    block::kProgramTable, block::kProgramTableLast - block::kProgramTable + 1});
  const int lastProgram = version == 1 ? kProgramCount : kLastProgMemProgram;
  for (int n = 1; n <= lastProgram; ++n)
    layout.push_back({programName(n), RegionKind::Program,
                      inProgramMemory(n) ? Memory::ProgMem : Memory::Rom, programAddress(n),
                      kProgramBytes, n});
  if (version >= 2) {
    for (int n = prog::kFirstInRom; n <= kProgramCount; n += 2)
      layout.push_back({QStringLiteral("programs-%1-%2").arg(n).arg(n + 1), RegionKind::RomPage,
                        Memory::Rom, progPageBase(n), prog::kRomPageBytes, n});
  }
  layout.push_back({QStringLiteral("pid-coefficients"), RegionKind::PidCoefs, Memory::Ram, ram::kPK,
                    ram::kPidCoefBytes});
  layout.push_back({QStringLiteral("set-temperature"), RegionKind::SetTemperature, Memory::Ram,
                    ram::kSetTemperature, ram::kSetTemperatureFramedBytes});
  layout.push_back({QStringLiteral("amplifier"), RegionKind::Amplifier, Memory::Ram,
                    ram::kAmplifierGain, ram::kAmplifierGainBytes});
  return layout;
}

// The part of a region a byte belongs to, as the operator knows it: a page's
// programs and the bytes after each; any other region is one part.
struct SubPart {
  int end;  // offset just past the part
  QString label;
};

SubPart subPartOf(const RegionLayout& part, int offset) {
  if (part.kind != RegionKind::RomPage) return {part.size, part.name};
  const int slot = offset / ctl::program::kRomStride;
  const int slotStart = slot * ctl::program::kRomStride;
  const QString program = programName(part.program + slot);
  if (offset - slotStart < kProgramBytes) return {slotStart + kProgramBytes, program};
  return {slotStart + ctl::program::kRomStride,
          QStringLiteral("page %1, after %2").arg(hexAddress(part.address), program)};
}

// A hexadecimal number written "0x...", or nothing.
std::optional<int> hexNumber(const QString& text, int maxDigits) {
  if (!text.startsWith(QStringLiteral("0x")) || text.size() < 3 || text.size() > 2 + maxDigits)
    return std::nullopt;
  bool ok = false;
  const int value = text.mid(2).toInt(&ok, 16);
  return ok ? std::optional<int>(value) : std::nullopt;
}

std::optional<std::uint8_t> hexByte(const QString& text) {
  if (text.size() != 2) return std::nullopt;
  bool ok = false;
  const uint value = text.toUInt(&ok, 16);
  return ok ? std::optional<std::uint8_t>(std::uint8_t(value)) : std::nullopt;
}

// The body between the version line and the checksum line; lines[i] is line
// firstLine + i of the file (counted from 1).
std::optional<Image> parseBody(const QStringList& lines, int firstLine, int version,
                               QString* error) {
  const std::vector<RegionLayout>& layout = imageLayout(version);
  Image image;
  image.version = version;
  bool haveDate = false;
  bool havePort = false;
  auto fail = [&](int lineIndex, const QString& why) {
    *error = QStringLiteral("line %1: %2").arg(firstLine + lineIndex).arg(why);
    return std::nullopt;
  };
  for (int i = 0; i < lines.size(); ++i) {
    const QString& line = lines[i];
    if (line.trimmed().isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
    if (line.startsWith(QStringLiteral("date "))) {
      image.date = QDateTime::fromString(line.mid(5), Qt::ISODate);
      if (!image.date.isValid()) return fail(i, QStringLiteral("the date is not readable"));
      haveDate = true;
    } else if (line.startsWith(QStringLiteral("port "))) {
      image.port = line.mid(5);
      havePort = true;
    } else if (line.startsWith(QStringLiteral("region "))) {
      const std::size_t next = image.regions.size();
      if (!image.regions.empty() && int(image.regions.back().size()) != layout[next - 1].size)
        return fail(i, QStringLiteral("region %1 is not complete").arg(layout[next - 1].name));
      if (next >= layout.size()) return fail(i, QStringLiteral("more regions than the layout"));
      if (line != regionLine(layout[next]))
        return fail(i, QStringLiteral("expected '%1'").arg(regionLine(layout[next])));
      image.regions.emplace_back();
    } else if (line.startsWith(QStringLiteral("0x"))) {
      if (image.regions.empty()) return fail(i, QStringLiteral("bytes before any region"));
      const RegionLayout& part = layout[image.regions.size() - 1];
      Bytes& bytes = image.regions.back();
      const QStringList parts = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
      const auto address = hexNumber(parts[0], 4);
      const int expected = (part.address + int(bytes.size())) & 0xFFFF;
      if (!address || *address != expected)
        return fail(i, QStringLiteral("expected the address %1").arg(hexAddress(expected)));
      if (parts.size() < 2 || parts.size() > kBytesPerLine + 1 ||
          int(bytes.size()) + int(parts.size()) - 1 > part.size)
        return fail(i, QStringLiteral("wrong number of bytes"));
      for (int k = 1; k < parts.size(); ++k) {
        const auto byte = hexByte(parts[k]);
        if (!byte) return fail(i, QStringLiteral("'%1' is not a byte").arg(parts[k]));
        bytes.push_back(*byte);
      }
    } else {
      return fail(i, QStringLiteral("not understood: '%1'").arg(line.left(40)));
    }
  }
  if (!haveDate || !havePort) {
    *error = QStringLiteral("the image has no %1 line").arg(haveDate ? "port" : "date");
    return std::nullopt;
  }
  if (image.regions.size() != layout.size() ||
      int(image.regions.back().size()) != layout.back().size) {
    *error = QStringLiteral("the image ends before its last region is complete");
    return std::nullopt;
  }
  return image;
}

}  // namespace

QString memoryName(Memory memory) {
  switch (memory) {
    case Memory::Block:
      return QStringLiteral("block");
    case Memory::ProgMem:
      return QStringLiteral("progmem");
    case Memory::Rom:
      return QStringLiteral("rom");
    case Memory::Ram:
      return QStringLiteral("ram");
  }
  return QString();
}

bool imageVersionKnown(int version) {
  return version >= kFirstImageVersion && version <= kImageVersion;
}

const std::vector<RegionLayout>& imageLayout(int version) {
  static const std::vector<RegionLayout> layouts[] = {makeLayout(1), makeLayout(2)};
  Q_ASSERT(imageVersionKnown(version));
  return layouts[std::clamp(version, kFirstImageVersion, kImageVersion) - kFirstImageVersion];
}

int imageBytes(int version) {
  int total = 0;
  for (const RegionLayout& part : imageLayout(version)) total += part.size;
  return total;
}

QByteArray formatImage(const Image& image) {
  const std::vector<RegionLayout>& layout = image.layout();
  QStringList lines;
  lines << QStringLiteral("format %1").arg(QLatin1String(kImageFormat))
        << QStringLiteral("version %1").arg(image.version)
        << QStringLiteral(
               "# written by calorix-cli backup; put back with: calorix-cli restore FILE")
        // With the offset from UTC: the file may be read in another time zone.
        << QStringLiteral("date %1").arg(
               image.date.toOffsetFromUtc(image.date.offsetFromUtc()).toString(Qt::ISODate))
        << QStringLiteral("port %1").arg(image.port);
  for (std::size_t r = 0; r < layout.size() && r < image.regions.size(); ++r) {
    const RegionLayout& part = layout[r];
    const Bytes& bytes = image.regions[r];
    lines << regionLine(part);
    for (int at = 0; at < int(bytes.size()); at += kBytesPerLine) {
      const int n = std::min(kBytesPerLine, int(bytes.size()) - at);
      lines << hexAddress((part.address + at) & 0xFFFF) + QLatin1Char(' ') +
                   hexBytes(std::span(bytes).subspan(std::size_t(at), std::size_t(n)));
    }
  }
  QByteArray content = lines.join(QLatin1Char('\n')).toUtf8() + '\n';
  content += "checksum sha256 " + checksumOf(content) + '\n';
  return content;
}

std::optional<Image> parseImage(const QByteArray& text, QString* error) {
  QString dummy;
  if (!error) error = &dummy;
  // A file that went through an editor on Windows may have CR LF line ends.
  QList<QByteArray> raw = text.split('\n');
  if (!raw.isEmpty() && raw.back().isEmpty()) raw.removeLast();
  for (QByteArray& line : raw)
    if (line.endsWith('\r')) line.chop(1);

  const QByteArray formatLine = QByteArray("format ") + kImageFormat;
  if (raw.isEmpty() || raw[0] != formatLine) {
    *error = QStringLiteral("not a controller image (it does not begin with '%1')")
                 .arg(QString::fromLatin1(formatLine));
    return std::nullopt;
  }
  if (raw.size() < 2 || !raw[1].startsWith("version ")) {
    *error = QStringLiteral("not a controller image (no version line)");
    return std::nullopt;
  }
  bool versionOk = false;
  const int version = raw[1].mid(8).toInt(&versionOk);
  if (!versionOk || !imageVersionKnown(version)) {
    *error = QStringLiteral(
                 "image version %1 is not supported: this calorix-cli reads versions %2 to %3")
                 .arg(QString::fromLatin1(raw[1].mid(8)))
                 .arg(kFirstImageVersion)
                 .arg(kImageVersion);
    return std::nullopt;
  }
  const QByteArray checksumHead = "checksum sha256 ";
  if (!raw.back().startsWith(checksumHead)) {
    *error = QStringLiteral("the image has no checksum line at its end");
    return std::nullopt;
  }
  QByteArray content;
  for (qsizetype i = 0; i + 1 < raw.size(); ++i) content += raw[i] + '\n';
  if (raw.back().mid(checksumHead.size()).toLower() != checksumOf(content)) {
    *error =
        QStringLiteral("checksum mismatch: the image was changed or damaged after it was written");
    return std::nullopt;
  }
  QStringList body;
  for (qsizetype i = 2; i + 1 < raw.size(); ++i) body << QString::fromUtf8(raw[i]);
  return parseBody(body, 3, version, error);
}

std::vector<Difference> compareImages(const Image& expected, const Image& actual) {
  std::vector<Difference> out;
  if (expected.version != actual.version) return out;
  const std::vector<RegionLayout>& layout = expected.layout();
  const std::size_t regions = std::min(expected.regions.size(), actual.regions.size());
  for (std::size_t r = 0; r < regions; ++r) {
    const Bytes& a = expected.regions[r];
    const Bytes& b = actual.regions[r];
    const int n = int(std::min(a.size(), b.size()));
    for (int i = 0; i < n;) {
      if (a[i] == b[i]) {
        ++i;
        continue;
      }
      const int partEnd = std::min(n, subPartOf(layout[r], i).end);
      int end = i;
      while (end < partEnd && a[end] != b[end]) ++end;
      out.push_back({int(r), i, end - i});
      i = end;
    }
  }
  return out;
}

QString differenceText(const Difference& d, const Image& expected, const Image& actual) {
  const RegionLayout& part = expected.layout()[d.region];
  const int first = part.address + d.offset;
  QString where = hexAddress(first);
  if (d.length > 1) where += QStringLiteral("..") + hexAddress(first + d.length - 1);
  const int shown = std::min(d.length, kShownDifferenceBytes);
  const QString more = d.length > shown ? QStringLiteral(" ...") : QString();
  return QStringLiteral("%1 %2 (%3): image %4%6, controller %5%6")
      .arg(memoryName(part.memory), where, subPartOf(part, d.offset).label,
           hexBytes(std::span(expected.regions[d.region])
                        .subspan(std::size_t(d.offset), std::size_t(shown))),
           hexBytes(std::span(actual.regions[d.region])
                        .subspan(std::size_t(d.offset), std::size_t(shown))),
           more);
}

}  // namespace calorix::cli
