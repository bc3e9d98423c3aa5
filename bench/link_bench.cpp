// Host cost of the link's command layers against the emulator, trace off and
// on, next to the wire time of the same bytes at 115200 baud (11 bits per
// character). Runs twice: over the in-memory port under the virtual clock (the
// link's own work), and over a real pseudo-terminal with the QSerialPort
// backend against the emulator served by PtyServer (the console's cost per
// exchange on a real port; a pty line itself costs nothing). Fixed pauses are
// taken out of the figures.
#include <QByteArray>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <functional>

#include "core/Clock.h"
#include "core/Cp1251.h"
#include "core/LocalTimeZone.h"
#include "link/Link.h"
#include "link/MemoryPort.h"
#include "link/SerialPortBackend.h"
#include "sim/Controller.h"
#include "sim/PtyServer.h"

using namespace calorix;

namespace {

double wireUs(int characters) {
  return characters * 11.0 * 1e6 / 115200.0;
}

struct Rig {
  QTemporaryDir dir;
  VirtualClock clock;
  RealClock realClock;
  sim::Controller controller;
  sim::PtyServer server;
  std::unique_ptr<Link> link;

  Rig(bool traceOn, bool overPty) {
    QFile ini(dir.filePath("ZaroZ.ini"));
    if (ini.open(QIODevice::WriteOnly)) {
      ini.write(cp1251::encode(QStringLiteral("[Dir]\r\nDirAll=") + dir.filePath("logs") +
                               QStringLiteral("\r\n[RS485]\r\nWriteRs485=") +
                               (traceOn ? QStringLiteral("Enabled") : QStringLiteral("Disable")) +
                               QStringLiteral("\r\n")));
      ini.close();
    }
    LinkConfig config;
    config.iniPath = dir.filePath("ZaroZ.ini");
    config.dataRoot = dir.filePath("data");
    if (overPty) {
      QString error;
      if (!server.start(controller, {}, &error)) {
        std::fprintf(stderr, "pty server: %s\n", qPrintable(error));
        std::exit(1);
      }
      config.clock = &realClock;
      config.openPort = serialPortOpener();
      config.portDeviceOverride = server.slavePath();
    } else {
      config.clock = &clock;
      config.openPort = memoryPortOpener(controller, clock);
    }
    link = std::make_unique<Link>(std::move(config));
    link->LoadSettings();
  }
};

bool gOverPty = false;

// pauseUs: the fixed pauses inside one operation, taken out of the figure.
void measure(const char* name, bool traceOn, int characters, const std::function<void(Link&)>& op,
             double pauseUs = 0) {
  Rig rig(traceOn, gOverPty);
  const int rounds = gOverPty ? (pauseUs > 0 ? 20 : 300) : 2000;
  for (int i = 0; i < 10; ++i) op(*rig.link);  // warm-up
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < rounds; ++i) op(*rig.link);
  const auto t1 = std::chrono::steady_clock::now();
  double us = std::chrono::duration<double, std::micro>(t1 - t0).count() / rounds;
  if (gOverPty) us -= pauseUs;
  std::printf("%-34s trace %-3s  host %9.1f us   wire %7.1f us (%d chars)   status %d\n", name,
              traceOn ? "on" : "off", us, wireUs(characters), characters, rig.link->status().code);
}

}  // namespace

int main(int argc, char** argv) {
  // The console does this too: the figures are its own.
  pinLocalTimeZone();
  QCoreApplication app(argc, argv);
  for (bool overPty : {false, true}) {
    gOverPty = overPty;
    std::printf(overPty ? "\nOver a real pseudo-terminal (QSerialPort backend, real clock)\n"
                        : "Link host cost per operation over the in-memory port (virtual clock)\n");
    for (bool traceOn : {false, true}) {
      // 0x40 out; its echo and 0x80 back; the 100 ms pause after it is taken out.
      measure(
          "SyncCmd (echoed byte exchange)", traceOn, 3, [](Link& l) { l.SyncCmd(); }, 100000);
      // 6 frame bytes out; 5 answers, 2 + 16 + 1 tail bytes back.
      measure("RdRam 16 at 0x60", traceOn, 30, [](Link& l) { l.RdRam(0x60, 16); });
      // The panel read-out: RdRam 16 at 0x60, 1 at 0x0B, 1 at 0x02.
      measure("panel sequence (16, 1, 1)", traceOn, 30 + 15 + 15, [](Link& l) {
        l.RdRam(0x60, 16);
        l.RdRam(0x0B, 1);
        l.RdRam(0x02, 1);
      });
    }
  }
  return 0;
}
