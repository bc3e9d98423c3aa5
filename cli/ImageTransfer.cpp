#include "cli/ImageTransfer.h"

#include <algorithm>
#include <functional>

#include "cli/HexText.h"
#include "core/ProgramCodec.h"

namespace calorix::cli {

namespace {

// The PID window's pause between its RAM reads.
constexpr qint64 kRamReadPauseMs = 50;

struct ExchangeFailed {
  QString message;
};

QString where(const RegionLayout& part, int address) {
  return QStringLiteral("%1 %2 (%3)").arg(memoryName(part.memory), hexAddress(address), part.name);
}

void requirePlain(const Link& link, const QString& what) {
  const QString failed = plainFailure(link, what);
  if (!failed.isEmpty()) throw ExchangeFailed{failed};
}

void requireFramed(const Link& link, const QString& what) {
  const QString failed = framedFailure(link, what);
  if (!failed.isEmpty()) throw ExchangeFailed{failed};
}

void sync(Link& link) {
  link.SyncCmd();
  requirePlain(link, QStringLiteral("SyncCmd"));
}

int blockChunk(const RegionLayout& part) {
  return part.kind == RegionKind::CoefWords ? ctl::block::kCoefWordBytes : kTableRecordBytes;
}

std::span<const std::uint8_t> stageOf(const Bytes& program, int stage) {
  return std::span<const std::uint8_t>(program).subspan(std::size_t(kStageBytes * (stage - 1)),
                                                        kStageBytes);
}

class Transfer {
 public:
  Transfer(Link& link, Progress& progress) : link_(link), progress_(progress) {}

  Bytes read(const RegionLayout& part) {
    progress_.region(QStringLiteral("%1 (%2)").arg(part.name, memoryName(part.memory)));
    Bytes out;
    switch (part.kind) {
      case RegionKind::CoefWords:
      case RegionKind::ProgramTable:
        eachBlock(part, [&](quint16 addr, int, int n) {
          const Link::View got = link_.RdBlock(std::uint8_t(n), addr);
          requirePlain(link_, QStringLiteral("RdBlock %1").arg(where(part, addr)));
          take(out, got);
        });
        break;
      case RegionKind::Program: {
        const std::uint8_t count = std::uint8_t(part.size);
        const Link::View got = part.memory == Memory::ProgMem ? link_.RdProgMem(part.address, count)
                                                              : link_.RdRom(part.address, count);
        requireFramed(link_, QStringLiteral("%1 %2").arg(
                                 part.memory == Memory::ProgMem ? "RdProgMem" : "RdRom",
                                 where(part, part.address)));
        take(out, got);
        break;
      }
      case RegionKind::PidCoefs:
      case RegionKind::SetTemperature:
      case RegionKind::Amplifier: {
        if (ramReadsDone_++ > 0) link_.clock().sleepMs(kRamReadPauseMs);
        const Link::View got = link_.RdRam(part.address, std::uint8_t(part.size));
        requireFramed(link_, QStringLiteral("RdRam %1").arg(where(part, part.address)));
        take(out, got);
        break;
      }
    }
    return out;
  }

  void write(const RegionLayout& part, const Bytes& bytes) {
    progress_.region(QStringLiteral("%1 (%2)").arg(part.name, memoryName(part.memory)));
    const std::span<const std::uint8_t> all(bytes);
    switch (part.kind) {
      case RegionKind::CoefWords:
      case RegionKind::ProgramTable:
        eachBlock(part, [&](quint16 addr, int at, int n) {
          link_.WrBlock(addr, all.subspan(std::size_t(at), std::size_t(n)));
          requirePlain(link_, QStringLiteral("WrBlock %1").arg(where(part, addr)));
          progress_.advance(n);
        });
        break;
      case RegionKind::Program:
        if (part.memory == Memory::ProgMem)
          writeProgMemProgram(part, bytes);
        else
          writeRomProgram(part, bytes);
        break;
      case RegionKind::PidCoefs:
      case RegionKind::SetTemperature:
      case RegionKind::Amplifier:
        link_.WrRam(part.address, all);
        requireFramed(link_, QStringLiteral("WrRam %1").arg(where(part, part.address)));
        progress_.advance(part.size);
        break;
    }
  }

 private:
  // A block-memory region as the coefficient editor and the program table
  // move it: SyncCmd, one block command per word or record, SyncCmd.
  void eachBlock(const RegionLayout& part,
                 const std::function<void(quint16 addr, int at, int n)>& exchange) {
    sync(link_);
    for (int at = 0; at < part.size; at += blockChunk(part))
      exchange(quint16(part.address + at), at, std::min(blockChunk(part), part.size - at));
    sync(link_);
  }

  void take(Bytes& out, Link::View got) {
    out.insert(out.end(), got.begin(), got.end());
    progress_.advance(qint64(got.size()));
  }

  void writeProgMemProgram(const RegionLayout& part, const Bytes& bytes) {
    for (int stage = 1; stage <= kStageCount; ++stage) {
      const quint16 addr = stageProgMemAddress(part.program, stage);
      link_.WrProgMem(addr, stageOf(bytes, stage));
      requireFramed(link_, QStringLiteral("WrProgMem %1").arg(where(part, addr)));
      progress_.advance(kStageBytes);
    }
  }

  // The page comes into the RAM window, this program's half is replaced there,
  // and the page is erased and written from the window.
  void writeRomProgram(const RegionLayout& part, const Bytes& bytes) {
    const quint16 page = progPageBase(part.program);
    const QString pageText = QStringLiteral("page %1 (%2)").arg(hexAddress(page), part.name);
    link_.RomPageCmd9(page);
    requireFramed(link_, QStringLiteral("RomPageCmd9 ") + pageText);
    for (int stage = 1; stage <= kStageCount; ++stage) {
      const quint16 addr = stageRamAddress(part.program, stage);
      link_.WrRam(addr, stageOf(bytes, stage));
      requireFramed(link_, QStringLiteral("WrRam ram %1 (%2)").arg(hexAddress(addr), part.name));
      progress_.advance(kStageBytes);
    }
    link_.RomPageCmd10(page);
    requireFramed(link_, QStringLiteral("RomPageCmd10 ") + pageText);
    link_.RomPageCmd11(page);
    requireFramed(link_, QStringLiteral("RomPageCmd11 ") + pageText);
  }

  Link& link_;
  Progress& progress_;
  int ramReadsDone_ = 0;
};

}  // namespace

QString plainFailure(const Link& link, const QString& what) {
  const LinkStatus& status = link.status();
  if (status.code == 0) return QString();
  const QString text =
      status.text.isEmpty() ? QStringLiteral("status %1").arg(status.code) : status.text;
  return QStringLiteral("%1 failed: %2").arg(what, text);
}

QString framedFailure(const Link& link, const QString& what) {
  if (link.status().code != 0) return plainFailure(link, what);
  if (!link.lastFramedAnswered())
    return QStringLiteral("%1 failed: the controller did not answer").arg(what);
  return QString();
}

std::optional<Image> readImage(Link& link, Progress& progress, QString* failure) {
  Image image;
  image.date = link.clock().localNow();
  image.port = link.deviceName();
  Transfer transfer(link, progress);
  try {
    for (const RegionLayout& part : imageLayout()) image.regions.push_back(transfer.read(part));
  } catch (const ExchangeFailed& failed) {
    if (failure) *failure = failed.message;
    return std::nullopt;
  }
  return image;
}

bool writeImage(Link& link, const Image& image, Progress& progress, QString* failure) {
  const std::vector<RegionLayout>& layout = imageLayout();
  Transfer transfer(link, progress);
  try {
    for (std::size_t r = 0; r < layout.size(); ++r) transfer.write(layout[r], image.regions[r]);
  } catch (const ExchangeFailed& failed) {
    if (failure) *failure = failed.message;
    return false;
  }
  return true;
}

bool probeController(Link& link, QString* failure) {
  link.SyncCmd();
  const QString failed = plainFailure(link, QStringLiteral("SyncCmd"));
  if (failed.isEmpty()) return true;
  if (failure) *failure = failed;
  return false;
}

}  // namespace calorix::cli
