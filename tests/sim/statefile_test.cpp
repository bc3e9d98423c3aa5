// The simulator's --state file: round trip, missing file, corrupt files.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <random>

#include "sim/StateFile.h"

namespace calorix::sim {
namespace {

std::unique_ptr<ControllerMemory> randomMemory(unsigned seed) {
  auto m = std::make_unique<ControllerMemory>();
  std::mt19937 rng(seed);
  auto fill = [&](auto& a) {
    for (auto& b : a) b = std::uint8_t(rng());
  };
  fill(m->ram);
  fill(m->progMem);
  fill(m->rom);
  fill(m->blockMem);
  return m;
}

bool equal(const ControllerMemory& a, const ControllerMemory& b) {
  return a.ram == b.ram && a.progMem == b.progMem && a.rom == b.rom && a.blockMem == b.blockMem;
}

class StateFileTest : public ::testing::Test {
 protected:
  QString path() const { return dir.filePath(QStringLiteral("furnace.state")); }
  QByteArray saved() {
    QString error;
    EXPECT_TRUE(saveState(*randomMemory(7), path(), &error)) << error.toStdString();
    QFile f(path());
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
  }
  void overwrite(const QByteArray& bytes) {
    QFile f(path());
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
  }
  QTemporaryDir dir;
};

TEST_F(StateFileTest, WrittenStateLoadsIntoAFreshMemoryEqual) {
  const auto original = randomMemory(1);
  QString error;
  ASSERT_TRUE(saveState(*original, path(), &error)) << error.toStdString();
  auto fresh = std::make_unique<ControllerMemory>();
  ASSERT_TRUE(loadState(*fresh, path(), &error)) << error.toStdString();
  EXPECT_TRUE(equal(*fresh, *original));

  // Saving again replaces the file and leaves no temporary beside it.
  const auto second = randomMemory(2);
  ASSERT_TRUE(saveState(*second, path(), &error));
  ASSERT_TRUE(loadState(*fresh, path(), &error));
  EXPECT_TRUE(equal(*fresh, *second));
  EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

TEST_F(StateFileTest, MissingFileIsNoErrorAndChangesNothing) {
  auto m = randomMemory(3);
  const auto before = randomMemory(3);
  QString error;
  EXPECT_TRUE(loadState(*m, path(), &error));
  EXPECT_TRUE(error.isEmpty());
  EXPECT_TRUE(equal(*m, *before));
}

TEST_F(StateFileTest, CorruptFilesAreReportedAndTheMemoryKept) {
  const QByteArray good = saved();
  struct Case {
    const char* name;
    QByteArray bytes;
    const char* reason;
  };
  QByteArray flipped = good;
  flipped[5000] = char(flipped[5000] ^ 0x10);
  QByteArray version = good;
  version[8] = 9;
  QByteArray otherMagic = good;
  otherMagic[0] = 'X';
  const Case cases[] = {
      {"empty", QByteArray(), "not a Calorix state file"},
      {"truncated", good.left(good.size() / 2), "checksum"},
      {"one byte changed", flipped, "checksum"},
      {"other version", version, "version 9"},
      {"other magic", otherMagic, "not a Calorix state file"},
      {"text file", QByteArray("[Com port]\r\nComPort=1\r\n"), "not a Calorix state file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    overwrite(c.bytes);
    auto m = randomMemory(4);
    const auto before = randomMemory(4);
    QString error;
    EXPECT_FALSE(loadState(*m, path(), &error));
    EXPECT_TRUE(error.contains(path())) << error.toStdString();
    EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
    EXPECT_TRUE(equal(*m, *before));
  }
}

TEST_F(StateFileTest, UnwritablePlaceIsReportedAndAnOldStateSurvives) {
  QString error;
  const QString nowhere = dir.filePath(QStringLiteral("no/such/dir/furnace.state"));
  EXPECT_FALSE(saveState(*randomMemory(5), nowhere, &error));
  EXPECT_TRUE(error.contains(nowhere)) << error.toStdString();
}

}  // namespace
}  // namespace calorix::sim
