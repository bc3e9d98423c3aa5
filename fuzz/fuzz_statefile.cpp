// The simulator's state file: any bytes either load or are refused with the
// memories untouched; what loads saves and loads again to the same memories.
#include <QFile>
#include <QTemporaryDir>

#include <memory>

#include "fuzz/FuzzInput.h"
#include "sim/StateFile.h"

using namespace calorix;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("state.bin"));
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
    f.write(reinterpret_cast<const char*>(data), qsizetype(size));
  }
  auto memory = std::make_unique<sim::ControllerMemory>();
  memory->ram[7] = 0xA5;
  const auto before = std::make_unique<sim::ControllerMemory>(*memory);
  QString error;
  if (!sim::loadState(*memory, path, &error)) {
    FUZZ_CHECK(!error.isEmpty(), "a refusal says why");
    FUZZ_CHECK(memory->ram == before->ram && memory->progMem == before->progMem &&
                   memory->rom == before->rom && memory->blockMem == before->blockMem,
               "a refused file leaves the memories as they were");
    return 0;
  }
  const QString again = dir.filePath(QStringLiteral("again.bin"));
  FUZZ_CHECK(sim::saveState(*memory, again, &error), "what loaded saves");
  auto reloaded = std::make_unique<sim::ControllerMemory>();
  FUZZ_CHECK(sim::loadState(*reloaded, again, &error), "what was saved loads");
  FUZZ_CHECK(reloaded->ram == memory->ram && reloaded->progMem == memory->progMem &&
                 reloaded->rom == memory->rom && reloaded->blockMem == memory->blockMem,
             "save and load keep every byte");
  return 0;
}
