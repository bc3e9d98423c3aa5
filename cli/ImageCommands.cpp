// backup, restore, verify: the controller image between the controller and a
// file. Nothing is written to a controller from a file that is not accepted
// whole, and no file is left behind by a backup that did not finish.
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QSaveFile>

#include "cli/Command.h"
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

Image readController(CommandContext& ctx, const QString& title, const QString& stopped) {
  Link& link = ctx.link();
  ctx.progress.begin(title, imageBytes());
  QString failure;
  auto image = readImage(link, ctx.progress, &failure);
  ctx.progress.end();
  if (!image) throw CliError{kExitLink, QStringLiteral("%1: %2").arg(stopped, failure)};
  return *image;
}

QJsonArray bytesJson(const Bytes& bytes, int from, int count) {
  QJsonArray out;
  for (int i = from; i < from + count; ++i) out.append(int(bytes[std::size_t(i)]));
  return out;
}

// Lists the differences on stdout; 0 when there are none.
int reportComparison(CommandContext& ctx, const Image& image, const Image& controller,
                     const QString& sameText) {
  const std::vector<Difference> differences = compareImages(image, controller);
  QJsonArray list;
  int bytes = 0;
  for (const Difference& d : differences) {
    ctx.say(differenceText(d, image, controller));
    const RegionLayout& part = imageLayout()[d.region];
    list.append(
        QJsonObject{{"region", part.name},
                    {"memory", memoryName(part.memory)},
                    {"address", part.address + d.offset},
                    {"length", d.length},
                    {"image", bytesJson(image.regions[d.region], d.offset, d.length)},
                    {"controller", bytesJson(controller.regions[d.region], d.offset, d.length)}});
    bytes += d.length;
  }
  ctx.result[QStringLiteral("identical")] = differences.empty();
  ctx.result[QStringLiteral("differences")] = list;
  if (!differences.empty())
    throw CliError{kExitDiffers,
                   QStringLiteral("the controller differs from the image in %1 byte(s) at %2 "
                                  "place(s)")
                       .arg(bytes)
                       .arg(differences.size())};
  ctx.say(sameText);
  return kExitOk;
}

}  // namespace

int backupCommand(CommandContext& ctx) {
  const QString path = ctx.options.operands[0];
  if (QFileInfo::exists(path) && !ctx.options.force)
    throw CliError{kExitFile, QStringLiteral("%1 exists; give --force to replace it").arg(path)};
  const Image image = readController(ctx, QStringLiteral("backup"),
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
  Link& link = ctx.link();
  ctx.progress.begin(QStringLiteral("restore"), imageBytes());
  QString failure;
  const bool written = writeImage(link, image, ctx.progress, &failure);
  ctx.progress.end();
  if (!written)
    throw CliError{
        kExitLink,
        QStringLiteral("restore stopped, the regions before it were written: %1").arg(failure)};
  ctx.result[QStringLiteral("file")] = path;
  const Image controller =
      readController(ctx, QStringLiteral("read back"),
                     QStringLiteral("restore written, but reading it back stopped"));
  return reportComparison(
      ctx, image, controller,
      QStringLiteral("restored from %1: the controller holds the image").arg(path));
}

int verifyCommand(CommandContext& ctx) {
  const QString path = ctx.options.operands[0];
  const Image image = loadImage(path);
  ctx.result[QStringLiteral("file")] = path;
  const Image controller =
      readController(ctx, QStringLiteral("verify"), QStringLiteral("verify stopped"));
  return reportComparison(ctx, image, controller,
                          QStringLiteral("the controller holds the image in %1").arg(path));
}

}  // namespace calorix::cli
