// calorix-cli: the service command line. Everything but the process itself
// (arguments, streams, the serial backend) lives in the cli library.
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStandardPaths>

#include <cstdio>
#include <memory>

#include "cli/Cli.h"
#include "cli/CliLink.h"
#include "core/Abort.h"
#include "core/LocalTimeZone.h"
#include "link/QuietToolkit.h"
#include "link/SerialPortBackend.h"

#ifdef Q_OS_WIN
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

using namespace calorix;

namespace {

void put(std::FILE* stream, const QString& text) {
  std::fputs(text.toLocal8Bit().constData(), stream);
  std::fflush(stream);
}

}  // namespace

int main(int argc, char** argv) {
  // Only the tool's own words on its streams.
  keepToolkitQuiet();
  pinLocalTimeZone();
  // The application is made when a command first needs one: a plain one for the link, or, for a
  // command that draws, a GUI one on the offscreen platform (one of the two per process).
  std::unique_ptr<QCoreApplication> app;
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  std::unique_ptr<Link> link;
  cli::CliEnv env;
  env.out = [](const QString& text) { put(stdout, text); };
  env.err = [](const QString& text) { put(stderr, text); };
  env.errIsTerminal = isatty(fileno(stderr)) != 0;
  env.startGui = [&](QString* error) {
    if (QCoreApplication::instance()) {
      if (error) *error = QStringLiteral("an application without painting already runs");
      return false;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    app = std::make_unique<QGuiApplication>(argc, argv);
    return true;
  };
  env.openLink = [&](const cli::GlobalOptions& options, QString* error) -> Link* {
    if (!QCoreApplication::instance()) app = std::make_unique<QCoreApplication>(argc, argv);
    cli::CliLinkBase base;
    base.openPort = serialPortOpener();
    base.dataRoot =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/calorix";
    base.executableDir = QCoreApplication::applicationDirPath();
    link = cli::openCliLink(options, base, error);
    return link.get();
  };
  const int code = cli::runCli(args, env);
  if (link) {
    link->ClosePort();
    try {
      link->CloseProtocol();
    } catch (const AbortAction& failed) {
      put(stderr, QStringLiteral("calorix-cli: %1\n").arg(failed.message()));
      return code == 0 ? cli::kExitFile : code;
    }
  }
  return code;
}
