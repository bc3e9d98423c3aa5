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

  // Commands sent so far that change what the controller holds: block,
  // program memory and RAM writes, and the page commands that erase and
  // write a ROM page.
  int writesSent() const { return writesSent_; }

  // announce: tell the progress which region is under way (a read-back after
  // the region's write is not announced again).
  Bytes read(const RegionLayout& part, bool announce = true) {
    if (announce)
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
      case RegionKind::Program:
      case RegionKind::RomPage: {
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
          ++writesSent_;
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
      case RegionKind::RomPage:
        writeRomPage(part, bytes);
        break;
      case RegionKind::PidCoefs:
      case RegionKind::SetTemperature:
      case RegionKind::Amplifier:
        ++writesSent_;
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
      ++writesSent_;
      link_.WrProgMem(addr, stageOf(bytes, stage));
      requireFramed(link_, QStringLiteral("WrProgMem %1").arg(where(part, addr)));
      progress_.advance(kStageBytes);
    }
  }

  // A version-1 program: the page comes into the RAM window, this program's
  // half is replaced there, and the page is erased and written from the
  // window, so the rest of the page stays as the controller held it.
  void writeRomProgram(const RegionLayout& part, const Bytes& bytes) {
    const quint16 page = progPageBase(part.program);
    pageCommand(&Link::RomPageCmd9, "RomPageCmd9", page, part);
    for (int stage = 1; stage <= kStageCount; ++stage) {
      const quint16 addr = stageRamAddress(part.program, stage);
      link_.WrRam(addr, stageOf(bytes, stage));
      requireFramed(link_, QStringLiteral("WrRam ram %1 (%2)").arg(hexAddress(addr), part.name));
      progress_.advance(kStageBytes);
    }
    pageCommand(&Link::RomPageCmd10, "RomPageCmd10", page, part);
    pageCommand(&Link::RomPageCmd11, "RomPageCmd11", page, part);
  }

  // A whole page: the same sequence with all 128 bytes of the window written,
  // so nothing of the page comes from the controller's old contents.
  void writeRomPage(const RegionLayout& part, const Bytes& bytes) {
    const quint16 page = part.address;
    pageCommand(&Link::RomPageCmd9, "RomPageCmd9", page, part);
    link_.WrRam(ctl::ram::kRomPageWindow, bytes);
    requireFramed(
        link_,
        QStringLiteral("WrRam ram %1 (%2)").arg(hexAddress(ctl::ram::kRomPageWindow), part.name));
    progress_.advance(part.size);
    pageCommand(&Link::RomPageCmd10, "RomPageCmd10", page, part);
    pageCommand(&Link::RomPageCmd11, "RomPageCmd11", page, part);
  }

  // Page commands 10 (erase) and 11 change the ROM; 9 only fills the window.
  void pageCommand(void (Link::*command)(quint16), const char* name, quint16 page,
                   const RegionLayout& part) {
    if (command != &Link::RomPageCmd9) ++writesSent_;
    (link_.*command)(page);
    requireFramed(link_, QStringLiteral("%1 page %2 (%3)").arg(name, hexAddress(page), part.name));
  }

  Link& link_;
  Progress& progress_;
  int ramReadsDone_ = 0;
  int writesSent_ = 0;
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

std::optional<Image> readImage(Link& link, int version, Progress& progress, QString* failure) {
  Image image;
  image.version = version;
  image.date = link.clock().localNow();
  image.port = link.deviceName();
  Transfer transfer(link, progress);
  try {
    for (const RegionLayout& part : image.layout()) image.regions.push_back(transfer.read(part));
  } catch (const ExchangeFailed& failed) {
    if (failure) *failure = failed.message;
    return std::nullopt;
  }
  return image;
}

RestoreReport restoreImage(Link& link, const Image& image, Progress& progress,
                           const std::function<void(int region, RegionState)>& onRegion) {
  const std::vector<RegionLayout>& layout = image.layout();
  RestoreReport report;
  report.states.assign(layout.size(), RegionState::NotWritten);
  report.readBack.version = image.version;
  report.readBack.date = link.clock().localNow();
  report.readBack.port = link.deviceName();
  report.readBack.regions.resize(layout.size());
  Transfer transfer(link, progress);
  for (std::size_t r = 0; r < layout.size(); ++r) {
    RegionState& state = report.states[r];
    const int writesBefore = transfer.writesSent();
    try {
      state = RegionState::PartlyWritten;
      transfer.write(layout[r], image.regions[r]);
      state = RegionState::WrittenUnread;
      report.readBack.regions[r] = transfer.read(layout[r], false);
      state = report.readBack.regions[r] == image.regions[r] ? RegionState::Verified
                                                             : RegionState::Differs;
    } catch (const ExchangeFailed& failed) {
      report.failure = failed.message;
      report.stoppedAt = int(r);
      if (state == RegionState::PartlyWritten && transfer.writesSent() == writesBefore)
        state = RegionState::NotWritten;
    }
    if (onRegion) onRegion(int(r), state);
    if (report.stoppedAt >= 0) break;
  }
  return report;
}

bool probeController(Link& link, QString* failure) {
  link.SyncCmd();
  const QString failed = plainFailure(link, QStringLiteral("SyncCmd"));
  if (failed.isEmpty()) return true;
  if (failure) *failure = failed;
  return false;
}

bool lineFreeForImage(Link& link, QString* failure) {
  if (!probeController(link, failure)) return false;
  const std::uint8_t run = link.RdRam(ctl::ram::kRegisters + ctl::reg::kRun, 1).front();
  QString failed = framedFailure(link, QStringLiteral("RdRam R5"));
  if (failed.isEmpty() && (run & ctl::reg::kRunPidFrames))
    failed = QStringLiteral(
        "a heating run is on (R5 bit 2): the controller sends its PID frames on the line, "
        "which would be taken for replies; stop the run first");
  if (failed.isEmpty()) return true;
  if (failure) *failure = failed;
  return false;
}

}  // namespace calorix::cli
