// plot: a data log read back, counted, drawn into PNG or SVG and exported as
// CSV, with the trend's widget-free library. No controller, no display.
#include <QCoreApplication>
#include <QFileInfo>
#include <QGuiApplication>
#include <QJsonArray>
#include <QRegularExpression>

#include "cli/Command.h"
#include "plot/ChartRenderer.h"
#include "plot/CsvExport.h"
#include "plot/LogReader.h"

namespace calorix::cli {
namespace {

QSize chartSize(const QString& text) {
  if (text.isEmpty()) return plot::ChartRequest{}.size;
  static const QRegularExpression shape(QStringLiteral("^(\\d{1,5})[xX](\\d{1,5})$"));
  const auto m = shape.match(text);
  if (!m.hasMatch())
    throw CliError{kExitUsage, QStringLiteral("--size %1: give WxH, e.g. 1600x900").arg(text)};
  const QSize size(m.captured(1).toInt(), m.captured(2).toInt());
  const QSize lo = plot::kMinChartSize, hi = plot::kMaxChartSize;
  if (size.width() < lo.width() || size.height() < lo.height() || size.width() > hi.width() ||
      size.height() > hi.height())
    throw CliError{kExitUsage, QStringLiteral("--size %1 is outside %2x%3..%4x%5")
                                   .arg(text)
                                   .arg(lo.width())
                                   .arg(lo.height())
                                   .arg(hi.width())
                                   .arg(hi.height())};
  return size;
}

const char* kindKey(plot::LogKind kind) {
  switch (kind) {
    case plot::LogKind::PidRun:
      return "pid-run";
    case plot::LogKind::PuskWork:
      return "pusk-work";
    case plot::LogKind::Stream:
      return "stream";
    case plot::LogKind::Unknown:
      break;
  }
  return "unknown";
}

// The outputs asked for: none may be the log itself, nor exist unless --force.
void checkOutputs(const CommandContext& ctx, const QString& log) {
  const QString logPath = QFileInfo(log).absoluteFilePath();
  QStringList seen;
  for (const QString& path : {ctx.options.png, ctx.options.svg, ctx.options.csv}) {
    if (path.isEmpty()) continue;
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (absolute == logPath)
      throw CliError{kExitUsage, QStringLiteral("%1 is the log itself").arg(path)};
    if (seen.contains(absolute))
      throw CliError{kExitUsage, QStringLiteral("%1 is named twice").arg(path)};
    seen << absolute;
    if (QFileInfo::exists(path) && !ctx.options.force)
      throw CliError{kExitFile, QStringLiteral("%1 exists; give --force to replace it").arg(path)};
  }
}

void ensureGui(CommandContext& ctx) {
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) return;
  QString why;
  if (!ctx.env.startGui || !ctx.env.startGui(&why))
    throw CliError{kExitFile, QStringLiteral("cannot draw: %1")
                                  .arg(why.isEmpty() ? QStringLiteral("no painting here") : why)};
}

}  // namespace

int plotCommand(CommandContext& ctx) {
  const QString log = ctx.options.operands[0];
  const QSize size = chartSize(ctx.options.size);
  checkOutputs(ctx, log);

  // Straight into the store as the log streams past: a day of the stream is
  // millions of lines.
  plot::TrendStore store;
  const plot::LogSummary read =
      plot::streamLog(log, [&store](const plot::Sample& s) { store.append(s); });
  if (!read.error.isEmpty())
    throw CliError{kExitFile, QStringLiteral("%1: %2").arg(log, read.error)};

  ctx.result[QStringLiteral("log")] = log;
  ctx.result[QStringLiteral("kind")] = QLatin1String(kindKey(read.kind));
  ctx.result[QStringLiteral("samples")] = qint64(read.samples);
  ctx.result[QStringLiteral("skippedLines")] = read.skippedLines;
  if (!store.empty()) {
    ctx.result[QStringLiteral("first")] = plot::isoLocalTime(store.firstMs());
    ctx.result[QStringLiteral("last")] = plot::isoLocalTime(store.lastMs());
  }
  ctx.say(QStringLiteral("%1: %2, %3 samples, %4 lines skipped")
              .arg(log, plot::logKindText(read.kind))
              .arg(read.samples)
              .arg(read.skippedLines));

  QJsonArray written;
  auto wrote = [&](const QString& path) {
    written.append(path);
    ctx.say(QStringLiteral("wrote %1").arg(path));
  };
  QString error;
  if (!ctx.options.png.isEmpty() || !ctx.options.svg.isEmpty()) {
    ensureGui(ctx);
    plot::ChartRequest request;
    request.store = &store;
    request.size = size;
    request.title =
        QFileInfo(log).fileName() + QStringLiteral(" — ") + plot::logKindText(read.kind);
    if (!ctx.options.png.isEmpty()) {
      if (!plot::writePng(ctx.options.png, request, &error))
        throw CliError{kExitFile, QStringLiteral("%1: %2").arg(ctx.options.png, error)};
      wrote(ctx.options.png);
    }
    if (!ctx.options.svg.isEmpty()) {
      if (!plot::writeSvg(ctx.options.svg, request, &error))
        throw CliError{kExitFile, QStringLiteral("%1: %2").arg(ctx.options.svg, error)};
      wrote(ctx.options.svg);
    }
  }
  if (!ctx.options.csv.isEmpty()) {
    if (!plot::writeCsv(ctx.options.csv, store, 0, 0, {}, &error))
      throw CliError{kExitFile, QStringLiteral("%1: %2").arg(ctx.options.csv, error)};
    wrote(ctx.options.csv);
  }
  ctx.result[QStringLiteral("written")] = written;
  return kExitOk;
}

}  // namespace calorix::cli
