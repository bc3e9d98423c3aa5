// backup, restore, verify: the controller image between the controller and a
// file. Nothing is written to a controller from a file that is not accepted
// whole, and no file is left behind by a backup that did not finish.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSaveFile>

#include "cli/Command.h"
#include "cli/HexText.h"
#include "cli/Image.h"
#include "cli/ImageTransfer.h"

namespace calorix::cli {

namespace {

// The image in the file, accepted whole, or CliError before anything is sent.
Image loadImage(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw CliError{kExitFile, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
  QString why;
  auto image = parseImage(file.readAll(), &why);
  if (!image)
    throw CliError{kExitFile, QStringLiteral("%1 refused, nothing was sent: %2").arg(path, why)};
  return *image;
}

// An older image is not a whole clone: say what it leaves alone.
void noteOlderVersion(CommandContext& ctx, const Image& image) {
  ctx.result[QStringLiteral("version")] = image.version;
  if (image.version >= kImageVersion) return;
  ctx.say(QStringLiteral("%1 is a version %2 image: it holds programs 18..25 without the 4 bytes "
                         "after each in their ROM pages, which keep the controller's contents")
              .arg(ctx.options.operands[0])
              .arg(image.version));
}

Image readController(CommandContext& ctx, int version, const QString& title,
                     const QString& stopped) {
  QString failure;
  if (!lineFreeForImage(ctx.link(), &failure))
    throw CliError{kExitLink, QStringLiteral("%1: %2").arg(stopped, failure)};
  ctx.progress.begin(title, imageBytes(version));
  auto image = readImage(ctx.link(), version, ctx.progress, &failure);
  ctx.progress.end();
  // A run started meanwhile would have mixed its frames into the reads.
  if (image && !lineFreeForImage(ctx.link(), &failure)) image.reset();
  if (!image) throw CliError{kExitLink, QStringLiteral("%1: %2").arg(stopped, failure)};
  return *image;
}

QJsonArray bytesJson(const Bytes& bytes, int from, int count) {
  QJsonArray out;
  for (int i = from; i < from + count; ++i) out.append(int(bytes[std::size_t(i)]));
  return out;
}

// Region names, a run of three or more consecutive regions as "first..last".
QString regionList(const std::vector<RegionLayout>& layout, const std::vector<int>& regions) {
  QStringList parts;
  for (std::size_t i = 0; i < regions.size();) {
    std::size_t end = i + 1;
    while (end < regions.size() && regions[end] == regions[end - 1] + 1) ++end;
    const QString& first = layout[std::size_t(regions[i])].name;
    if (end - i >= 3)
      parts << first + QStringLiteral("..") + layout[std::size_t(regions[end - 1])].name;
    else
      for (std::size_t k = i; k < end; ++k) parts << layout[std::size_t(regions[k])].name;
    i = end;
  }
  return parts.join(QStringLiteral(", "));
}

// Lists the differences on stdout; 0 when there are none.
int reportComparison(CommandContext& ctx, const Image& image, const Image& controller,
                     const QString& sameText) {
  const std::vector<RegionLayout>& layout = image.layout();
  const std::vector<Difference> differences = compareImages(image, controller);
  QJsonArray list;
  QJsonArray regionNames;
  std::vector<int> regions;
  int bytes = 0;
  for (const Difference& d : differences) {
    ctx.say(differenceText(d, image, controller));
    const RegionLayout& part = layout[std::size_t(d.region)];
    list.append(
        QJsonObject{{"region", part.name},
                    {"memory", memoryName(part.memory)},
                    {"address", part.address + d.offset},
                    {"length", d.length},
                    {"image", bytesJson(image.regions[d.region], d.offset, d.length)},
                    {"controller", bytesJson(controller.regions[d.region], d.offset, d.length)}});
    if (regions.empty() || regions.back() != d.region) {
      regions.push_back(d.region);
      regionNames.append(part.name);
    }
    bytes += d.length;
  }
  ctx.result[QStringLiteral("identical")] = differences.empty();
  ctx.result[QStringLiteral("differences")] = list;
  ctx.result[QStringLiteral("differingRegions")] = regionNames;
  if (!differences.empty()) {
    ctx.say(QStringLiteral("differing regions: %1").arg(regionList(layout, regions)));
    throw CliError{kExitDiffers,
                   QStringLiteral("the controller differs from the image in %1 byte(s) at %2 "
                                  "place(s)")
                       .arg(bytes)
                       .arg(differences.size())};
  }
  ctx.say(sameText);
  return kExitOk;
}

QString stateText(RegionState state) {
  switch (state) {
    case RegionState::NotWritten:
      return QStringLiteral("not written");
    case RegionState::PartlyWritten:
      return QStringLiteral("partly written");
    case RegionState::WrittenUnread:
      return QStringLiteral("written, not read back");
    case RegionState::Verified:
      return QStringLiteral("written and verified");
    case RegionState::Differs:
      return QStringLiteral("written, reads back different");
  }
  return QString();
}

// "program-07 (progmem 0x0168, 60 bytes): written and verified"
QString regionLine(const RegionLayout& part, RegionState state) {
  return QStringLiteral("%1 (%2 %3, %4 bytes): %5")
      .arg(part.name, memoryName(part.memory), hexAddress(part.address))
      .arg(part.size)
      .arg(stateText(state));
}

// Where a restore that stopped left the controller, in one line.
QString stoppedText(const QString& path, const Image& image, const RestoreReport& report) {
  const std::vector<RegionLayout>& layout = image.layout();
  auto regionsIn = [&](RegionState state) {
    std::vector<int> out;
    for (std::size_t r = 0; r < report.states.size(); ++r)
      if (report.states[r] == state) out.push_back(int(r));
    return out;
  };
  QStringList parts;
  parts << QStringLiteral("restore stopped in %1: %2")
               .arg(layout[std::size_t(report.stoppedAt)].name, report.failure);
  if (regionsIn(RegionState::NotWritten).size() == report.states.size())
    return parts.front() + QStringLiteral("; nothing was written, the controller is as it was");
  for (RegionState state : {RegionState::Verified, RegionState::Differs, RegionState::WrittenUnread,
                            RegionState::PartlyWritten, RegionState::NotWritten}) {
    const std::vector<int> regions = regionsIn(state);
    if (!regions.empty())
      parts << QStringLiteral("%1: %2").arg(stateText(state), regionList(layout, regions));
  }
  parts << QStringLiteral(
               "the controller is now mixed, part image and part its old contents; "
               "run 'calorix-cli restore %1' again to finish")
               .arg(path);
  return parts.join(QStringLiteral("; "));
}

QJsonArray statesJson(const std::vector<RegionLayout>& layout,
                      const std::vector<RegionState>& states) {
  QJsonArray out;
  for (std::size_t r = 0; r < states.size(); ++r)
    out.append(QJsonObject{{"region", layout[r].name}, {"state", stateText(states[r])}});
  return out;
}

}  // namespace

int backupCommand(CommandContext& ctx) {
  const QString path = ctx.options.operands[0];
  if (QFileInfo::exists(path) && !ctx.options.force)
    throw CliError{kExitFile, QStringLiteral("%1 exists; give --force to replace it").arg(path)};
  const Image image = readController(ctx, kImageVersion, QStringLiteral("backup"),
                                     QStringLiteral("backup stopped, no file written"));
  // Something may have put a file there while the controller was read.
  if (QFileInfo::exists(path) && !ctx.options.force)
    throw CliError{kExitFile,
                   QStringLiteral("%1 appeared during the backup; not replaced").arg(path)};
  // Written under a temporary name and renamed: an interrupted write leaves
  // the old file, or none, never a part.
  QSaveFile file(path);
  const QByteArray text = formatImage(image);
  if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit())
    throw CliError{kExitFile, QStringLiteral("cannot write %1: %2").arg(path, file.errorString())};
  ctx.say(QStringLiteral("%1 bytes in %2 regions from %3 written to %4")
              .arg(imageBytes())
              .arg(image.regions.size())
              .arg(image.port, path));
  ctx.result[QStringLiteral("file")] = path;
  ctx.result[QStringLiteral("port")] = image.port;
  ctx.result[QStringLiteral("bytes")] = imageBytes();
  ctx.result[QStringLiteral("regions")] = int(image.regions.size());
  return kExitOk;
}

int restoreCommand(CommandContext& ctx) {
  const QString path = ctx.options.operands[0];
  const Image image = loadImage(path);
  ctx.result[QStringLiteral("file")] = path;
  QString failure;
  if (!lineFreeForImage(ctx.link(), &failure))
    throw CliError{kExitLink,
                   QStringLiteral("restore stopped before anything was written: %1").arg(failure)};
  noteOlderVersion(ctx, image);
  const std::vector<RegionLayout>& layout = image.layout();
  // Each region is written and then read back.
  ctx.progress.begin(QStringLiteral("restore"), 2 * qint64(imageBytes(image.version)));
  const RestoreReport report =
      restoreImage(ctx.link(), image, ctx.progress, [&](int region, RegionState state) {
        ctx.progress.clearLine();
        ctx.say(regionLine(layout[std::size_t(region)], state));
      });
  ctx.progress.end();
  ctx.result[QStringLiteral("regionStates")] = statesJson(layout, report.states);
  if (report.stoppedAt >= 0) throw CliError{kExitLink, stoppedText(path, image, report)};
  return reportComparison(
      ctx, image, report.readBack,
      QStringLiteral("restored from %1: the controller holds the image").arg(path));
}

int verifyCommand(CommandContext& ctx) {
  const QString path = ctx.options.operands[0];
  const Image image = loadImage(path);
  ctx.result[QStringLiteral("file")] = path;
  noteOlderVersion(ctx, image);
  const Image controller = readController(ctx, image.version, QStringLiteral("verify"),
                                          QStringLiteral("verify stopped"));
  return reportComparison(ctx, image, controller,
                          QStringLiteral("the controller holds the image in %1").arg(path));
}

}  // namespace calorix::cli
