#pragma once
// calorix-cli as a user runs it, against the controller emulator through the
// in-memory port under the virtual clock: the command line, the link opened
// the command line's way (settings read-only, protocol only when switched
// on), and what went to stdout and stderr.
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <random>

#include "cli/Cli.h"
#include "cli/CliLink.h"
#include "cli/Image.h"
#include "core/Clock.h"
#include "core/Cp1251.h"
#include "link/MemoryPort.h"
#include "sim/Controller.h"

namespace calorix::testing {

// The bytes an emulator holds in one region of the image.
inline cli::Bytes regionBytes(const sim::ControllerMemory& m, const cli::RegionLayout& part) {
  auto take = [&](const auto& memory) {
    cli::Bytes out;
    for (int i = 0; i < part.size; ++i) out.push_back(memory[(part.address + i) % memory.size()]);
    return out;
  };
  switch (part.memory) {
    case cli::Memory::Block:
      return take(m.blockMem);
    case cli::Memory::ProgMem:
      return take(m.progMem);
    case cli::Memory::Rom:
      return take(m.rom);
    case cli::Memory::Ram:
      return take(m.ram);
  }
  return {};
}

class CliRig {
 public:
  CliRig() : controller(sim::ControllerOptions{}, std::make_unique<sim::PassiveFirmware>()) {
    env.out = [this](const QString& text) { out += text; };
    env.err = [this](const QString& text) { err += text; };
    env.openLink = [this](const cli::GlobalOptions& options, QString* error) -> Link* {
      ++linkOpens;
      cli::CliLinkBase base;
      base.openPort = memoryPortOpener(controller, clock, [this](MemoryPort& p) { port = &p; });
      base.clock = &clock;
      base.dataRoot = dir.filePath("data");
      base.executableDir = dir.path();
      link = cli::openCliLink(options, base, error);
      return link.get();
    };
  }

  // Runs one command line; out and err collect what it printed.
  int run(const QStringList& args) {
    out.clear();
    err.clear();
    link.reset();
    return cli::runCli(args, env);
  }

  QString path(const QString& name) const { return dir.filePath(name); }
  void writeIni(const QString& text) {
    QFile file(path("ZaroZ.ini"));
    if (file.open(QIODevice::WriteOnly)) file.write(cp1251::encode(text));
  }
  QByteArray fileBytes(const QString& name) const {
    QFile file(path(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
  }
  void writeFile(const QString& name, const QByteArray& bytes) {
    QFile file(path(name));
    if (file.open(QIODevice::WriteOnly)) file.write(bytes);
  }

  // Every byte of the memories an image covers (and more) from a seed.
  void fillMemories(unsigned seed) {
    std::mt19937 random(seed);
    auto fill = [&](auto& memory) {
      for (auto& b : memory) b = std::uint8_t(random());
    };
    auto& m = controller.memory();
    fill(m.blockMem);
    fill(m.progMem);
    fill(m.rom);
    fill(m.ram);
    // At rest: no run has the controller send its PID frames.
    m.reg(ctl::reg::kRun) &= std::uint8_t(~ctl::reg::kRunPidFrames);
  }

  QTemporaryDir dir;
  VirtualClock clock;
  sim::Controller controller;
  cli::CliEnv env;
  std::unique_ptr<Link> link;
  MemoryPort* port = nullptr;
  int linkOpens = 0;
  QString out;
  QString err;
};

}  // namespace calorix::testing
