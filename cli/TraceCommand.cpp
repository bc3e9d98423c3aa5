// trace: exchange protocol files decoded, one line per command.
#include <QFile>
#include <QJsonArray>

#include "cli/Command.h"
#include "cli/TraceDecode.h"
#include "core/Cp1251.h"

namespace calorix::cli {

int traceCommand(CommandContext& ctx) {
  QStringList lines;
  for (const QString& path : ctx.options.operands) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
      throw CliError{kExitFile, QStringLiteral("cannot read %1: %2").arg(path, file.errorString())};
    QString text = cp1251::decode(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList fileLines = text.split(QLatin1Char('\n'));
    if (!fileLines.isEmpty() && fileLines.back().isEmpty()) fileLines.removeLast();
    lines += fileLines;
  }
  QJsonArray entries;
  for (const TraceEntry& entry : decodeTrace(lines)) {
    ctx.say(entryText(entry));
    if (ctx.options.json) entries.append(entryJson(entry));
  }
  ctx.result[QStringLiteral("entries")] = entries;
  return kExitOk;
}

}  // namespace calorix::cli
