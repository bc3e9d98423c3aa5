// calorix-cli backup and restore against the emulator over a real
// pseudo-terminal (QSerialPort backend, real clock), next to their floor: the
// fixed pauses the sequences make plus the wire time of every byte at 115200
// baud with 11 bits a character. The pauses and byte counts come from the
// same commands run over the in-memory port under a clock that adds up its
// sleeps. A pty carries bytes in no time, so the figure over it is the
// pauses plus the console's and the emulator's own cost per exchange.
#include <QCoreApplication>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <memory>
#include <random>

#include "cli/Cli.h"
#include "cli/CliLink.h"
#include "cli/Image.h"
#include "core/LocalTimeZone.h"
#include "link/MemoryPort.h"
#include "link/SerialPortBackend.h"
#include "sim/Controller.h"
#include "sim/PtyServer.h"
#include "tests/cli/CliRig.h"

using namespace calorix;

namespace {

constexpr double kCharUs = 11.0 * 1e6 / 115200.0;

class PauseCountingClock : public VirtualClock {
 public:
  void sleepMs(qint64 ms) override {
    pausedMs += ms;
    VirtualClock::sleepMs(ms);
  }
  qint64 pausedMs = 0;
};

void fill(sim::ControllerMemory& m, unsigned seed) {
  std::mt19937 random(seed);
  for (auto& b : m.blockMem) b = std::uint8_t(random());
  for (auto& b : m.progMem) b = std::uint8_t(random());
  for (auto& b : m.rom) b = std::uint8_t(random());
  for (int a = 0x90; a < 0xE0; ++a) m.ram[a] = std::uint8_t(random());
}

struct Quiet {
  QString out, err;
  cli::CliEnv env;
  std::unique_ptr<Link> link;
  explicit Quiet(cli::CliLinkBase base) {
    env.out = [this](const QString& t) { out += t; };
    env.err = [this](const QString& t) { err += t; };
    env.openLink = [this, base](const cli::GlobalOptions& o, QString* e) {
      link = cli::openCliLink(o, base, e);
      return link.get();
    };
  }
  int run(const QStringList& args) {
    link.reset();
    return cli::runCli(args, env);
  }
};

struct Floor {
  qint64 pausedMs = 0;
  std::size_t bytes = 0;
  double seconds() const { return pausedMs / 1000.0 + bytes * kCharUs / 1e6; }
};

// The command over the in-memory port: its pauses and the bytes both ways.
Floor floorOf(const QStringList& args, const QString& image, const QTemporaryDir& dir) {
  PauseCountingClock clock;
  sim::Controller controller(sim::ControllerOptions{}, std::make_unique<sim::PassiveFirmware>());
  fill(controller.memory(), 7);
  cli::CliLinkBase base{memoryPortOpener(controller, clock), &clock, dir.filePath("data"),
                        dir.path()};
  Quiet cli(base);
  QStringList line = args;
  if (!image.isEmpty()) line << image;
  const int code = cli.run(line);
  if (code != 0) std::fprintf(stderr, "in memory: %s", qPrintable(cli.err));
  return {clock.pausedMs, controller.received().size() + controller.sent().size()};
}

double timed(Quiet& cli, const QStringList& args, int* code) {
  const auto t0 = std::chrono::steady_clock::now();
  *code = cli.run(args);
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
}

void report(const char* name, const Floor& floor, double seconds, int code) {
  std::printf(
      "%-8s floor %6.3f s (pauses %5.3f s + wire %5.3f s for %5zu bytes)   "
      "pty %6.3f s = %.3f x floor   exit %d\n",
      name, floor.seconds(), floor.pausedMs / 1000.0, floor.bytes * kCharUs / 1e6, floor.bytes,
      seconds, seconds / floor.seconds(), code);
}

}  // namespace

int main(int argc, char** argv) {
  pinLocalTimeZone();
  QCoreApplication app(argc, argv);
  QTemporaryDir dir;
  const QString image = dir.filePath("a.img");
  const QString backup = dir.filePath("floor.img");

  // The floors, from the same command lines in memory.
  const Floor backupFloor = floorOf({"backup"}, backup, dir);
  const Floor restoreFloor = floorOf({"restore"}, backup, dir);

  // Two emulators on two ptys: back up one, restore into the other.
  sim::Controller a(sim::ControllerOptions{}, std::make_unique<sim::PassiveFirmware>());
  sim::Controller b(sim::ControllerOptions{}, std::make_unique<sim::PassiveFirmware>());
  fill(a.memory(), 1);
  fill(b.memory(), 2);
  sim::PtyServer serverA, serverB;
  QString error;
  if (!serverA.start(a, {}, &error) || !serverB.start(b, {}, &error)) {
    std::fprintf(stderr, "pty server: %s\n", qPrintable(error));
    return 1;
  }
  cli::CliLinkBase base{serialPortOpener(), nullptr, dir.filePath("data"), dir.path()};
  Quiet cli(base);
  std::printf("calorix-cli against the emulator over a pseudo-terminal, %d image bytes\n",
              cli::imageBytes());
  constexpr int kRounds = 2;
  for (int round = 1; round <= kRounds; ++round) {
    int code = 0;
    const double backupS =
        timed(cli, {"--force", "--port-device", serverA.slavePath(), "backup", image}, &code);
    report("backup", backupFloor, backupS, code);
    const double restoreS =
        timed(cli, {"--port-device", serverB.slavePath(), "restore", image}, &code);
    report("restore", restoreFloor, restoreS, code);
  }
  bool same = true;
  serverA.inspect([&](sim::Controller& ca) {
    serverB.inspect([&](sim::Controller& cb) {
      for (const cli::RegionLayout& part : cli::imageLayout())
        same = same &&
               testing::regionBytes(ca.memory(), part) == testing::regionBytes(cb.memory(), part);
    });
  });
  std::printf("every region of the image in the two emulators: %s\n",
              same ? "identical" : "DIFFERENT");
  serverA.stop();
  serverB.stop();
  return same ? 0 : 1;
}
