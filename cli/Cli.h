#pragma once
// calorix-cli: the service command line, built on the link and core layers
// alone. Global options, the command table and the runner; the commands are
// plain functions over a Link (cli/Command.h), so tests drive them on the
// emulator.
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

#include "link/Link.h"
#include "link/PortList.h"

namespace calorix::cli {

// What the exit code says.
enum ExitCode {
  kExitOk = 0,
  kExitDiffers = 1,  // the controller does not hold the image
  kExitUsage = 2,    // unknown command, bad option, operand or number
  kExitLink = 3,     // the port could not be opened, the controller did not answer or refused
  kExitFile = 4,     // a file could not be read, written or accepted
};

struct GlobalOptions {
  QString portDevice;  // --port-device PATH
  QString iniPath;     // --ini FILE; empty: ZaroZ.ini beside the executable
  bool json = false;   // --json
  bool force = false;  // --force (backup, plot: replace an existing file)
  // plot: the files to write and the picture's size ("WxH").
  QString png, svg, csv, size;
  // tune: the tuning rule and the width of the temperature bands (°C).
  QString rule, band;
  bool help = false;  // --help, -h
  QString command;
  QStringList operands;
};

// Empty with the reason in *error when the line cannot be used.
std::optional<GlobalOptions> parseGlobalOptions(const QStringList& args, QString* error);
QString cliUsage();

struct CliEnv {
  std::function<void(const QString&)> out;  // stdout
  std::function<void(const QString&)> err;  // stderr
  bool errIsTerminal = false;               // progress as a bar rather than lines
  // The link for these options with its settings loaded and its port open;
  // null with the reason in *error. Called only by commands that talk to the
  // controller, once they have checked their operands and files.
  std::function<Link*(const GlobalOptions&, QString* error)> openLink;
  // Makes painting possible when no QGuiApplication exists yet: one on the
  // "offscreen" platform, so no display is needed. false with the reason in
  // *error. Called only by commands that draw (plot with --png or --svg).
  std::function<bool(QString* error)> startGui;
  // The serial ports (ports); calorix::listPorts when not set.
  std::function<std::vector<PortEntry>()> listPorts;
};

// args without the program name; returns the exit code.
int runCli(const QStringList& args, CliEnv& env);

}  // namespace calorix::cli
