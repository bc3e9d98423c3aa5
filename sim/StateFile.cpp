#include "sim/StateFile.h"

#include <QByteArray>
#include <QFile>
#include <QSaveFile>

#include <array>
#include <cstring>
#include <memory>

namespace calorix::sim {
namespace {

constexpr char kMagic[8] = {'C', 'A', 'L', 'X', 'S', 'T', 'A', 'T'};
constexpr quint32 kVersion = 1;

struct Block {
  char tag[4];
  std::uint8_t* data;
  quint32 size;
};

std::array<Block, 4> blocksOf(ControllerMemory& m) {
  return {{{{'R', 'A', 'M', ' '}, m.ram.data(), quint32(m.ram.size())},
           {{'P', 'R', 'O', 'G'}, m.progMem.data(), quint32(m.progMem.size())},
           {{'R', 'O', 'M', ' '}, m.rom.data(), quint32(m.rom.size())},
           {{'B', 'L', 'C', 'K'}, m.blockMem.data(), quint32(m.blockMem.size())}}};
}

quint32 crc32(const char* data, qsizetype n) {
  quint32 crc = 0xFFFFFFFFu;
  for (qsizetype i = 0; i < n; ++i) {
    crc ^= std::uint8_t(data[i]);
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

void putU32(QByteArray& out, quint32 v) {
  for (int i = 0; i < 4; ++i) out.append(char(v >> (8 * i)));
}

quint32 getU32(const QByteArray& in, qsizetype at) {
  quint32 v = 0;
  for (int i = 0; i < 4; ++i) v |= quint32(std::uint8_t(in[at + i])) << (8 * i);
  return v;
}

void setError(QString* error, const QString& text) {
  if (error) *error = text;
}

}  // namespace

bool saveState(const ControllerMemory& memory, const QString& path, QString* error) {
  // blocksOf() wants a mutable memory only to share the table with loading.
  auto blocks = blocksOf(const_cast<ControllerMemory&>(memory));
  QByteArray out(kMagic, sizeof kMagic);
  putU32(out, kVersion);
  putU32(out, quint32(blocks.size()));
  for (const Block& b : blocks) {
    out.append(b.tag, 4);
    putU32(out, b.size);
    out.append(reinterpret_cast<const char*>(b.data), qsizetype(b.size));
  }
  putU32(out, crc32(out.constData(), out.size()));

  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    setError(error, QStringLiteral("cannot write state file %1: %2").arg(path, file.errorString()));
    return false;
  }
  if (file.write(out) != out.size() || !file.commit()) {
    setError(error, QStringLiteral("cannot write state file %1: %2").arg(path, file.errorString()));
    file.cancelWriting();
    return false;
  }
  return true;
}

bool loadState(ControllerMemory& memory, const QString& path, QString* error) {
  QFile file(path);
  if (!file.exists()) return true;
  if (!file.open(QIODevice::ReadOnly)) {
    setError(error, QStringLiteral("cannot read state file %1: %2").arg(path, file.errorString()));
    return false;
  }
  const QByteArray in = file.readAll();
  auto corrupt = [&](const QString& why) {
    setError(error,
             QStringLiteral("state file %1 is corrupt (%2); defaults are used").arg(path, why));
    return false;
  };
  const qsizetype headerSize = sizeof kMagic + 8;
  if (in.size() < headerSize + 4 || std::memcmp(in.constData(), kMagic, sizeof kMagic) != 0)
    return corrupt(QStringLiteral("not a Calorix state file"));
  const quint32 version = getU32(in, sizeof kMagic);
  if (version != kVersion)
    return corrupt(QStringLiteral("version %1, expected %2").arg(version).arg(kVersion));
  const qsizetype body = in.size() - 4;
  if (crc32(in.constData(), body) != getU32(in, body))
    return corrupt(QStringLiteral("checksum mismatch"));

  // Parse into a copy so that a bad block leaves the caller's memory as it was.
  auto loaded = std::make_unique<ControllerMemory>();
  auto blocks = blocksOf(*loaded);
  const quint32 count = getU32(in, sizeof kMagic + 4);
  if (count != blocks.size()) return corrupt(QStringLiteral("%1 memory blocks").arg(count));
  qsizetype at = headerSize;
  for (const Block& b : blocks) {
    if (at + 8 > body) return corrupt(QStringLiteral("truncated"));
    if (std::memcmp(in.constData() + at, b.tag, 4) != 0)
      return corrupt(QStringLiteral("unexpected block at byte %1").arg(at));
    const quint32 size = getU32(in, at + 4);
    at += 8;
    if (size != b.size || at + qsizetype(size) > body)
      return corrupt(QStringLiteral("block %1 has %2 bytes, expected %3")
                         .arg(QString::fromLatin1(b.tag, 4).trimmed())
                         .arg(size)
                         .arg(b.size));
    std::memcpy(b.data, in.constData() + at, size);
    at += size;
  }
  if (at != body) return corrupt(QStringLiteral("trailing bytes"));
  memory = *loaded;
  return true;
}

}  // namespace calorix::sim
