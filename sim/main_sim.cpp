// calorix-sim [--link PATH] [--state FILE] [--sim-speed N] [--cycle-ms N]
// Serves the emulated controller on a pseudo-terminal until SIGINT/SIGTERM;
// prints the slave path on stdout, one line.
#include <QFile>
#include <QString>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <thread>

#include "sim/FurnaceFirmware.h"
#include "sim/PtyServer.h"
#include "sim/StateFile.h"

namespace {

std::atomic<bool> stopRequested{false};
void onSignal(int) {
  stopRequested = true;
}

int usage(const char* why) {
  std::fprintf(stderr,
               "calorix-sim: %s\nusage: calorix-sim [--link PATH] [--state FILE] "
               "[--sim-speed N] [--cycle-ms N]\n",
               why);
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace calorix::sim;
  QString linkPath, statePath;
  double simSpeed = 1.0;
  qint64 cycleMs = 4000;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
      usage("the controller emulator on a pseudo-terminal");
      return 0;
    }
    if (i + 1 >= argc) return usage("an option needs a value");
    const QString v = QString::fromLocal8Bit(argv[++i]);
    bool ok = true;
    if (!std::strcmp(a, "--link"))
      linkPath = v;
    else if (!std::strcmp(a, "--state"))
      statePath = v;
    else if (!std::strcmp(a, "--sim-speed"))
      simSpeed = v.toDouble(&ok), ok = ok && simSpeed > 0;
    else if (!std::strcmp(a, "--cycle-ms"))
      cycleMs = v.toLongLong(&ok), ok = ok && cycleMs > 0;
    else
      return usage("unknown option");
    if (!ok) return usage("bad number");
  }

  ControllerOptions options;
  options.cycleMs = cycleMs;
  Controller controller(options, makeFurnaceFirmware(simSpeed));
  QString error;
  if (!statePath.isEmpty() && !loadState(controller.memory(), statePath, &error)) {
    // Refuse to run: saving at the end would overwrite the file we could not read.
    std::fprintf(stderr, "calorix-sim: %s\n", qPrintable(error));
    return 1;
  }
  PtyServer server;
  if (!server.start(controller, linkPath, &error)) {
    std::fprintf(stderr, "calorix-sim: %s\n", qPrintable(error));
    return 1;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::printf("%s\n", qPrintable(server.slavePath()));
  std::fflush(stdout);
  while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  server.stop();  // also removes the link
  if (!statePath.isEmpty() && !saveState(controller.memory(), statePath, &error)) {
    std::fprintf(stderr, "calorix-sim: %s\n", qPrintable(error));
    return 1;
  }
  return 0;
}
