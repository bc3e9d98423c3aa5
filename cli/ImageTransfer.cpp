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

QString where(const RegionSpec& spec, int address) {
  return QStringLiteral("%1 %2 (%3)").arg(memoryName(spec.memory), hexAddress(address), spec.name);
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

int blockChunk(const RegionSpec& spec) {
  return spec.kind == RegionKind::CoefWords ? ctl::block::kCoefWordBytes : kTableRecordBytes;
}

std::span<const std::uint8_t> stageOf(const Bytes& program, int stage) {
  return std::span<const std::uint8_t>(program).subspan(std::size_t(kStageBytes * (stage - 1)),
                                                        kStageBytes);
}

class Transfer {
 public:
  Transfer(Link& link, Progress& progress) : link_(link), progress_(progress) {}

  Bytes read(const RegionSpec& spec) {
    progress_.region(QStringLiteral("%1 (%2)").arg(spec.name, memoryName(spec.memory)));
    Bytes out;
    switch (spec.kind) {
      case RegionKind::CoefWords:
      case RegionKind::ProgramTable:
        eachBlock(spec, [&](quint16 addr, int, int n) {
          const Link::View got = link_.RdBlock(std::uint8_t(n), addr);
          requirePlain(link_, QStringLiteral("RdBlock %1").arg(where(spec, addr)));
          take(out, got);
        });
        break;
      case RegionKind::Program: {
        const std::uint8_t count = std::uint8_t(spec.size);
        const Link::View got = spec.memory == Memory::ProgMem ? link_.RdProgMem(spec.address, count)
                                                              : link_.RdRom(spec.address, count);
        requireFramed(link_, QStringLiteral("%1 %2").arg(
                                 spec.memory == Memory::ProgMem ? "RdProgMem" : "RdRom",
                                 where(spec, spec.address)));
        take(out, got);
        break;
      }
      case RegionKind::PidCoefs:
      case RegionKind::SetTemperature:
      case RegionKind::Amplifier: {
        if (ramReadsDone_++ > 0) link_.clock().sleepMs(kRamReadPauseMs);
        const Link::View got = link_.RdRam(spec.address, std::uint8_t(spec.size));
        requireFramed(link_, QStringLiteral("RdRam %1").arg(where(spec, spec.address)));
        take(out, got);
        break;
      }
    }
    return out;
  }

  void write(const RegionSpec& spec, const Bytes& bytes) {
    progress_.region(QStringLiteral("%1 (%2)").arg(spec.name, memoryName(spec.memory)));
    const std::span<const std::uint8_t> all(bytes);
    switch (spec.kind) {
      case RegionKind::CoefWords:
      case RegionKind::ProgramTable:
        eachBlock(spec, [&](quint16 addr, int at, int n) {
          link_.WrBlock(addr, all.subspan(std::size_t(at), std::size_t(n)));
          requirePlain(link_, QStringLiteral("WrBlock %1").arg(where(spec, addr)));
          progress_.advance(n);
        });
        break;
      case RegionKind::Program:
        if (spec.memory == Memory::ProgMem)
          writeProgMemProgram(spec, bytes);
        else
          writeRomProgram(spec, bytes);
        break;
      case RegionKind::PidCoefs:
      case RegionKind::SetTemperature:
      case RegionKind::Amplifier:
        link_.WrRam(spec.address, all);
        requireFramed(link_, QStringLiteral("WrRam %1").arg(where(spec, spec.address)));
        progress_.advance(spec.size);
        break;
    }
  }

 private:
  // A block-memory region as the coefficient editor and the program table
  // move it: SyncCmd, one block command per word or record, SyncCmd.
  void eachBlock(const RegionSpec& spec,
                 const std::function<void(quint16 addr, int at, int n)>& exchange) {
    sync(link_);
    for (int at = 0; at < spec.size; at += blockChunk(spec))
      exchange(quint16(spec.address + at), at, std::min(blockChunk(spec), spec.size - at));
    sync(link_);
  }

  void take(Bytes& out, Link::View got) {
    out.insert(out.end(), got.begin(), got.end());
    progress_.advance(qint64(got.size()));
  }

  void writeProgMemProgram(const RegionSpec& spec, const Bytes& bytes) {
    for (int stage = 1; stage <= kStageCount; ++stage) {
      const quint16 addr = stageProgMemAddress(spec.program, stage);
      link_.WrProgMem(addr, stageOf(bytes, stage));
      requireFramed(link_, QStringLiteral("WrProgMem %1").arg(where(spec, addr)));
      progress_.advance(kStageBytes);
    }
  }

  // The page comes into the RAM window, this program's half is replaced there,
  // and the page is erased and written from the window.
  void writeRomProgram(const RegionSpec& spec, const Bytes& bytes) {
    const quint16 page = progPageBase(spec.program);
    const QString pageText = QStringLiteral("page %1 (%2)").arg(hexAddress(page), spec.name);
    link_.RomPageCmd9(page);
    requireFramed(link_, QStringLiteral("RomPageCmd9 ") + pageText);
    for (int stage = 1; stage <= kStageCount; ++stage) {
      const quint16 addr = stageRamAddress(spec.program, stage);
      link_.WrRam(addr, stageOf(bytes, stage));
      requireFramed(link_, QStringLiteral("WrRam ram %1 (%2)").arg(hexAddress(addr), spec.name));
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
    for (const RegionSpec& spec : imageLayout()) image.regions.push_back(transfer.read(spec));
  } catch (const ExchangeFailed& failed) {
    if (failure) *failure = failed.message;
    return std::nullopt;
  }
  return image;
}

bool writeImage(Link& link, const Image& image, Progress& progress, QString* failure) {
  const std::vector<RegionSpec>& layout = imageLayout();
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
