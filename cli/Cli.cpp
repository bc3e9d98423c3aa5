#include "cli/Cli.h"

#include <QJsonDocument>

#include <vector>

#include "cli/Command.h"
#include "core/Abort.h"

namespace calorix::cli {

namespace {

struct CommandEntry {
  const char* name;
  const char* operands;
  const char* summary;
  const char* example;
  int minOperands;
  int maxOperands;  // -1: no limit
  int (*run)(CommandContext&);
};

// Every command, in the order --help lists them. A new command is one entry.
const std::vector<CommandEntry>& commandTable() {
  static const std::vector<CommandEntry> table = {
      {"backup", "FILE",
       "read the controller's image (coefficients, program table, programs 1..25,\n"
       "PID and amplifier coefficients, set temperature) into FILE; an existing\n"
       "FILE is replaced only with --force",
       "calorix-cli backup furnace-3.img", 1, 1, backupCommand},
      {"restore", "FILE",
       "write the image in FILE back into the controller region by region, each\n"
       "read back and compared; a changed or foreign FILE is refused before anything\n"
       "is sent; after a stop, the same restore again finishes the job",
       "calorix-cli --port-device /dev/ttyUSB0 restore furnace-3.img", 1, 1, restoreCommand},
      {"verify", "FILE", "compare the controller with the image in FILE, writing nothing",
       "calorix-cli verify furnace-3.img", 1, 1, verifyCommand},
      {"read-ram", "ADDR COUNT", "read COUNT (1..255) bytes of RAM from ADDR",
       "calorix-cli read-ram 0x60 16", 2, 2, readRamCommand},
      {"write-ram", "ADDR BYTE...", "write the bytes (each 0..255, at most 250) into RAM from ADDR",
       "calorix-cli write-ram 0xDC 0x2C 1", 2, -1, writeRamCommand},
      {"trace", "FILE...", "decode exchange protocol files (Windows-1251): one line per command",
       "calorix-cli trace \"RS485/2026/03/05/09_05_03 Data.txt\"", 1, -1, traceCommand},
      {"plot", "LOG",
       "read a data log of the console (a PID run log, a Пуск work log or a telemetry\n"
       "log) and print how many samples and skipped lines it holds; --png/--svg draw\n"
       "its chart (no display needed), --csv exports its samples (UTF-8, ISO 8601\n"
       "times, \".\" decimals); an existing output file is replaced only with --force",
       "calorix-cli plot \"Протоколы/2026/03/05/09_05_03 Data.txt\" --png run.png --csv run.csv", 1,
       1, plotCommand},
      {"ports", "",
       "list the serial ports: the device to give --port-device (its stable\n"
       "/dev/serial/by-id name where it has one), system name, description, maker,\n"
       "serial number; the same list as `calorix --list-ports`",
       "calorix-cli ports --json", 0, 0, portsCommand},
      {"tune", "LOG...",
       "identify the furnace per temperature band from data logs (PID run and telemetry\n"
       "logs; Пуск work logs carry no power), after deriving and checking the regulator's\n"
       "law from them; propose the three cubics of the coefficient editor by a rule\n"
       "(--rule model, the default: the identified furnace run under the law over a\n"
       "reference program; simc, amigo or zn: per band, the cubics fitted through them;\n"
       "--band C sets the bands' width, default 100). Nothing is sent to the controller",
       "calorix-cli tune \"Протоколы/2026/03/05/09_05_03 Data.txt\" --rule simc", 1, -1,
       tuneCommand},
  };
  return table;
}

const CommandEntry* findCommand(const QString& name) {
  for (const CommandEntry& listed : commandTable())
    if (name == QLatin1String(listed.name)) return &listed;
  return nullptr;
}

}  // namespace

// ---- options ------------------------------------------------------------------

std::optional<GlobalOptions> parseGlobalOptions(const QStringList& args, QString* error) {
  GlobalOptions options;
  auto fail = [&](const QString& why) {
    if (error) *error = why;
    return std::nullopt;
  };
  bool optionsEnded = false;
  for (int i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    const bool looksLikeOption =
        !optionsEnded && (arg.startsWith(QStringLiteral("--")) || arg == QStringLiteral("-h"));
    if (!looksLikeOption) {
      if (options.command.isEmpty())
        options.command = arg;
      else
        options.operands << arg;
      continue;
    }
    if (arg == QStringLiteral("--")) {
      optionsEnded = true;
      continue;
    }
    QString name = arg;
    QString value;
    bool inlineValue = false;
    if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
      name = arg.left(eq);
      value = arg.mid(eq + 1);
      inlineValue = true;
    }
    auto takeValue = [&](QString& into) -> bool {
      if (!inlineValue) {
        if (i + 1 >= args.size()) return false;
        value = args[++i];
      }
      into = value;
      return !into.isEmpty();
    };
    auto flag = [&](bool& into) -> bool {
      into = true;
      return !inlineValue;
    };
    bool ok = false;
    if (name == QStringLiteral("--port-device"))
      ok = takeValue(options.portDevice);
    else if (name == QStringLiteral("--ini"))
      ok = takeValue(options.iniPath);
    else if (name == QStringLiteral("--json"))
      ok = flag(options.json);
    else if (name == QStringLiteral("--force"))
      ok = flag(options.force);
    else if (name == QStringLiteral("--help") || name == QStringLiteral("-h"))
      ok = flag(options.help);
    else if (name == QStringLiteral("--png"))
      ok = takeValue(options.png);
    else if (name == QStringLiteral("--svg"))
      ok = takeValue(options.svg);
    else if (name == QStringLiteral("--csv"))
      ok = takeValue(options.csv);
    else if (name == QStringLiteral("--size"))
      ok = takeValue(options.size);
    else if (name == QStringLiteral("--rule"))
      ok = takeValue(options.rule);
    else if (name == QStringLiteral("--band"))
      ok = takeValue(options.band);
    else
      return fail(QStringLiteral("unknown option '%1'").arg(arg));
    if (!ok) {
      static const QStringList valuedNames{
          QStringLiteral("--port-device"), QStringLiteral("--ini"), QStringLiteral("--png"),
          QStringLiteral("--svg"),         QStringLiteral("--csv"), QStringLiteral("--size"),
          QStringLiteral("--rule"),        QStringLiteral("--band")};
      const bool valued = valuedNames.contains(name);
      return fail(valued ? QStringLiteral("%1 needs a value").arg(name)
                         : QStringLiteral("%1 takes no value").arg(name));
    }
  }
  if (options.help) return options;
  if (options.command.isEmpty()) return fail(QStringLiteral("no command given"));
  const CommandEntry* listed = findCommand(options.command);
  if (!listed) return fail(QStringLiteral("unknown command '%1'").arg(options.command));
  const int n = int(options.operands.size());
  if (n < listed->minOperands || (listed->maxOperands >= 0 && n > listed->maxOperands))
    return fail(QStringLiteral("usage: calorix-cli %1 %2").arg(options.command, listed->operands));
  const bool plot = options.command == QStringLiteral("plot");
  if (options.force && options.command != QStringLiteral("backup") && !plot)
    return fail(QStringLiteral("--force belongs to backup and plot"));
  const bool plotOptions = !(options.png.isEmpty() && options.svg.isEmpty() &&
                             options.csv.isEmpty() && options.size.isEmpty());
  if (plotOptions && !plot)
    return fail(QStringLiteral("--png, --svg, --csv and --size belong to plot"));
  if (!(options.rule.isEmpty() && options.band.isEmpty()) &&
      options.command != QStringLiteral("tune"))
    return fail(QStringLiteral("--rule and --band belong to tune"));
  return options;
}

QString cliUsage() {
  QString text = QStringLiteral(
      "Usage: calorix-cli [options] COMMAND [operands]\n"
      "Service command line for the furnace temperature controller: back up, restore\n"
      "and compare a controller, read and write its RAM, decode an exchange protocol,\n"
      "plot and export a data log.\n"
      "\n"
      "Options:\n"
      "  --port-device PATH  use this serial device instead of the one ZaroZ.ini\n"
      "                      names (Device, else NumPort)\n"
      "  --ini FILE          settings file to read the port from (default: ZaroZ.ini\n"
      "                      beside the executable; for an installed program\n"
      "                      ~/.config/calorix/ZaroZ.ini); it is never written\n"
      "  --json              print the result as one JSON object on stdout\n"
      "  --force             backup, plot: replace an output file that exists\n"
      "  --png FILE          plot: draw the chart into FILE (PNG)\n"
      "  --svg FILE          plot: draw the chart into FILE (SVG)\n"
      "  --csv FILE          plot: write the samples into FILE (CSV)\n"
      "  --size WxH          plot: the chart's size in pixels (default 1280x720)\n"
      "  --rule NAME         tune: the tuning rule (model, simc, amigo, zn; default model)\n"
      "  --band C            tune: the width of the temperature bands, °C (default 100)\n"
      "  -h, --help          show this text\n"
      "\n"
      "Commands:\n");
  for (const CommandEntry& listed : commandTable()) {
    text +=
        QStringLiteral("  %1 %2\n").arg(QLatin1String(listed.name), QLatin1String(listed.operands));
    for (const QString& line : QString::fromUtf8(listed.summary).split(QLatin1Char('\n')))
      text += QStringLiteral("      %1\n").arg(line);
    text += QStringLiteral("      example: %1\n").arg(QString::fromUtf8(listed.example));
  }
  text += QStringLiteral(
      "\n"
      "Numbers (ADDR, COUNT, BYTE) are decimal, or hexadecimal after 0x, x or $ (quote\n"
      "$ in a shell).\n"
      "Exit codes: 0 done; 1 the controller differs from the image; 2 bad command\n"
      "line; 3 no port, or the controller did not answer or refused; 4 a file could\n"
      "not be read, written or accepted. Errors are one line on stderr; progress\n"
      "goes to stderr too. With WriteRs485=Enabled in the settings the framed\n"
      "exchanges are traced to a protocol file as the console traces them.\n");
  return text;
}

// ---- running ------------------------------------------------------------------

CommandContext::CommandContext(const GlobalOptions& opts, CliEnv& environment, Progress& prog)
    : options(opts), env(environment), progress(prog) {}

Link& CommandContext::link() {
  if (link_) return *link_;
  QString why;
  link_ = env.openLink ? env.openLink(options, &why) : nullptr;
  if (!link_) throw CliError{kExitLink, why.isEmpty() ? QStringLiteral("no link") : why};
  return *link_;
}

void CommandContext::say(const QString& line) {
  if (!options.json) env.out(line + QLatin1Char('\n'));
}

int runCli(const QStringList& args, CliEnv& env) {
  QString error;
  const auto options = parseGlobalOptions(args, &error);
  if (!options) {
    env.err(QStringLiteral("calorix-cli: %1\nTry 'calorix-cli --help'.\n").arg(error));
    return kExitUsage;
  }
  if (options->help) {
    env.out(cliUsage());
    return kExitOk;
  }
  TextProgress progress(env.err, env.errIsTerminal);
  CommandContext ctx(*options, env, progress);
  int code = kExitOk;
  QString failure;
  try {
    code = findCommand(options->command)->run(ctx);
  } catch (const CliError& e) {
    code = e.code;
    failure = e.message;
  } catch (const AbortAction& e) {
    // A file of the link (the protocol) could not be written.
    code = kExitFile;
    failure = e.message();
  }
  progress.end();
  if (!failure.isEmpty()) env.err(QStringLiteral("calorix-cli: %1\n").arg(failure));
  if (ctx.linkOpened() && ctx.link().settings().protocolOn) {
    ctx.result[QStringLiteral("protocol")] = ctx.link().protocolPath();
    if (!options->json)
      env.err(
          QStringLiteral("calorix-cli: exchanges traced in %1\n").arg(ctx.link().protocolPath()));
  }
  if (options->json) {
    QJsonObject result = ctx.result;
    result[QStringLiteral("command")] = options->command;
    result[QStringLiteral("ok")] = code == kExitOk;
    result[QStringLiteral("exitCode")] = code;
    if (!failure.isEmpty()) result[QStringLiteral("error")] = failure;
    env.out(QString::fromUtf8(QJsonDocument(result).toJson(QJsonDocument::Indented)));
  }
  return code;
}

}  // namespace calorix::cli
