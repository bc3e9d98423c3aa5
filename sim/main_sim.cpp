// calorix-sim [--link PATH] [--state FILE] [--sim-speed N] [--cycle-ms N]
//             [--telemetry-ms N] [--furnace-rate C_PER_MIN] [--furnace-lag S]
//             [--furnace-dead-time S]
// Serves the emulated controller on a pseudo-terminal until SIGINT/SIGTERM;
// prints the slave path on stdout, one line.
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <thread>

#include "sim/FurnaceFirmware.h"
#include "sim/PtyServer.h"
#include "sim/SimCommandLine.h"
#include "sim/StateFile.h"

namespace {

std::atomic<bool> stopRequested{false};
void onSignal(int) {
  stopRequested = true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace calorix::sim;
  QStringList args;
  for (int i = 1; i < argc; ++i) args << QString::fromLocal8Bit(argv[i]);
  QString error;
  const auto line = parseSimCommandLine(args, &error);
  if (!line) {
    std::fprintf(stderr, "calorix-sim: %s\n%s\n", qPrintable(error), qPrintable(simUsage()));
    return 2;
  }
  if (line->help) {
    std::printf("calorix-sim: the controller emulator on a pseudo-terminal\n%s\n",
                qPrintable(simUsage()));
    return 0;
  }

  ControllerOptions options;
  options.cycleMs = line->cycleMs;
  options.telemetryPeriodMs = line->telemetryMs;
  FurnaceFirmwareOptions firmware;
  firmware.simSpeed = line->simSpeed;
  firmware.furnace = line->furnace;
  Controller controller(options, makeFurnaceFirmware(firmware));
  if (!line->statePath.isEmpty() && !loadState(controller.memory(), line->statePath, &error)) {
    // Refuse to run: saving at the end would overwrite the file we could not read.
    std::fprintf(stderr, "calorix-sim: %s\n", qPrintable(error));
    return 1;
  }
  PtyServer server;
  if (!server.start(controller, line->linkPath, &error)) {
    std::fprintf(stderr, "calorix-sim: %s\n", qPrintable(error));
    return 1;
  }
  std::signal(SIGINT, onSignal);
  std::signal(SIGTERM, onSignal);
  std::printf("%s\n", qPrintable(server.slavePath()));
  std::fflush(stdout);
  while (!stopRequested) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  server.stop();  // also removes the link
  if (!line->statePath.isEmpty() && !saveState(controller.memory(), line->statePath, &error)) {
    std::fprintf(stderr, "calorix-sim: %s\n", qPrintable(error));
    return 1;
  }
  return 0;
}
