// The controller image: backup from one emulated controller, restore into
// another, verify, and every way a file is refused before anything is sent.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>

#include "cli/Image.h"
#include "tests/cli/CliRig.h"

namespace calorix {
namespace {

using cli::Bytes;
using cli::Memory;
using cli::RegionLayout;
using testing::CliRig;

// What a backup of `rig` writes, or empty when it failed.
QByteArray backupOf(CliRig& rig) {
  if (rig.run({"backup", rig.path("backup.img")}) != cli::kExitOk) return QByteArray();
  return rig.fileBytes("backup.img");
}

QStringList filesIn(const CliRig& rig) {
  return QDir(rig.dir.path()).entryList(QDir::Files);
}

TEST(ImageOnEmulator, RestoreIntoAnotherControllerLeavesEveryRegionByteIdentical) {
  CliRig a;
  a.fillMemories(1);
  const QByteArray text = backupOf(a);
  ASSERT_FALSE(text.isEmpty()) << a.err.toStdString();
  QString why;
  const auto image = cli::parseImage(text, &why);
  ASSERT_TRUE(image) << why.toStdString();
  const auto& layout = cli::imageLayout();
  for (std::size_t r = 0; r < layout.size(); ++r)
    EXPECT_EQ(image->regions[r], testing::regionBytes(a.controller.memory(), layout[r]))
        << layout[r].name.toStdString();

  CliRig b;
  b.fillMemories(2);
  const auto romBefore = b.controller.memory().rom;
  b.writeFile("a.img", text);
  ASSERT_EQ(b.run({"restore", b.path("a.img")}), cli::kExitOk) << b.err.toStdString();
  EXPECT_TRUE(b.out.contains("the controller holds the image")) << b.out.toStdString();
  for (const RegionLayout& part : layout)
    EXPECT_EQ(testing::regionBytes(b.controller.memory(), part),
              testing::regionBytes(a.controller.memory(), part))
        << part.name.toStdString();
  // Each ROM program is 60 bytes in a 64-byte slot of its page: the 4 bytes
  // after it belong to no program and come through the page writes as they were.
  for (int program = 18; program <= 25; ++program) {
    const int gap = 0x7C00 + 64 * (program - 18) + 60;
    for (int i = gap; i < gap + 4; ++i)
      EXPECT_EQ(b.controller.memory().rom[i], romBefore[i]) << "ROM " << i;
  }
  // And the controller now answers a verify with the same file.
  EXPECT_EQ(b.run({"verify", b.path("a.img")}), cli::kExitOk) << b.err.toStdString();
}

TEST(ImageOnEmulator, VerifyListsTheAddressesThatDiffer) {
  CliRig rig;
  rig.fillMemories(3);
  ASSERT_FALSE(backupOf(rig).isEmpty());
  auto& m = rig.controller.memory();
  m.rom[0x7C45] ^= 0xFF;  // program 19, byte 5
  for (int i = 0x72; i < 0x74; ++i) m.blockMem[i] ^= 0x01;
  EXPECT_EQ(rig.run({"verify", rig.path("backup.img")}), cli::kExitDiffers);
  EXPECT_TRUE(rig.out.contains("block 0x0072..0x0073 (program-table)")) << rig.out.toStdString();
  EXPECT_TRUE(rig.out.contains("rom 0x7C45 (program-19)")) << rig.out.toStdString();
  EXPECT_TRUE(rig.err.contains("differs from the image in 3 byte(s) at 2 place(s)"))
      << rig.err.toStdString();
}

TEST(ImageOnEmulator, ProgressIsOneLinePerRegionWhenStderrIsNoTerminal) {
  CliRig rig;
  ASSERT_FALSE(backupOf(rig).isEmpty());
  EXPECT_EQ(rig.err.count("backup: "), int(cli::imageLayout().size()));
  EXPECT_TRUE(rig.err.contains("backup: program-18 (rom)\n"));
}

TEST(ImageOnEmulator, AnExistingFileIsReplacedOnlyWithForce) {
  CliRig rig;
  rig.writeFile("backup.img", "keep me");
  EXPECT_EQ(rig.run({"backup", rig.path("backup.img")}), cli::kExitFile);
  EXPECT_EQ(rig.fileBytes("backup.img"), QByteArray("keep me"));
  EXPECT_TRUE(rig.controller.received().empty());
  EXPECT_EQ(rig.run({"--force", "backup", rig.path("backup.img")}), cli::kExitOk);
  EXPECT_TRUE(rig.fileBytes("backup.img").startsWith("format calorix-controller-image\n"));
}

// A valid image file of zero bytes, for the cases that need one.
QByteArray blankImage() {
  cli::Image image;
  image.date = QDateTime(QDate(2026, 3, 5), QTime(9, 5, 3));
  image.port = QStringLiteral("/dev/ttyS1");
  for (const RegionLayout& part : cli::imageLayout()) image.regions.emplace_back(part.size, 0);
  return cli::formatImage(image);
}

TEST(ImageOnEmulator, AFileThatIsNotTheImageAsWrittenIsRefusedBeforeAnythingIsSent) {
  const QByteArray good = blankImage();
  auto replaced = [&](const char* from, const char* to) {
    QByteArray text = good;
    text.replace(from, to);
    return text;
  };
  QByteArray oneByte = good;
  oneByte[oneByte.indexOf("\n0x0070 ") + 9] = '1';  // 00 -> 10 in the program table
  QByteArray shortened = good;
  shortened.truncate(good.size() / 2);
  const struct {
    const char* name;
    QByteArray text;
    const char* reason;
  } cases[] = {
      {"one byte changed", oneByte, "checksum mismatch"},
      {"another version", replaced("version 1\n", "version 2\n"),
       "image version 2 is not supported"},
      {"another format", replaced("format calorix-controller-image", "format other"),
       "not a controller image"},
      {"cut short", shortened, "no checksum line"},
      {"CR LF line ends are fine", replaced("\n", "\r\n"), nullptr},
  };
  for (const auto& c : cases) {
    CliRig rig;
    rig.writeFile("in.img", c.text);
    for (const char* command : {"restore", "verify"}) {
      const int code = rig.run({command, rig.path("in.img")});
      if (!c.reason) {
        EXPECT_NE(code, cli::kExitFile) << c.name << ": " << rig.err.toStdString();
        continue;
      }
      EXPECT_EQ(code, cli::kExitFile) << c.name;
      EXPECT_TRUE(rig.err.contains(c.reason)) << c.name << ": " << rig.err.toStdString();
      EXPECT_EQ(rig.linkOpens, 0) << c.name;
      EXPECT_TRUE(rig.controller.received().empty()) << c.name;
    }
  }
}

TEST(ImageOnEmulator, ABodyWithItsChecksumRecomputedMustStillHoldTheLayout) {
  QByteArray text = blankImage();
  text.replace("region amplifier ram 0x009C 4", "region amplifier ram 0x009D 4");
  text.truncate(text.indexOf("checksum sha256 "));
  text += "checksum sha256 " + QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex() +
          '\n';
  QString why;
  EXPECT_FALSE(cli::parseImage(text, &why));
  EXPECT_TRUE(why.contains("expected 'region amplifier ram 0x009C 4'")) << why.toStdString();
}

TEST(ImageOnEmulator, SilentControllerEndsEveryCommandInAboutOneTimeOut) {
  const QStringList lines[] = {{"backup", "new.img"},
                               {"restore", "blank.img"},
                               {"verify", "blank.img"},
                               {"read-ram", "0x60", "16"},
                               {"write-ram", "0xDC", "1"}};
  for (const QStringList& line : lines) {
    CliRig rig;
    rig.writeFile("blank.img", blankImage());
    rig.controller.setFaults({.silent = true});
    QStringList args = line;
    if (args.size() == 2) args[1] = rig.path(args[1]);
    EXPECT_EQ(rig.run(args), cli::kExitLink) << line.join(' ').toStdString();
    EXPECT_TRUE(rig.err.contains("SyncCmd failed: ошибка 1 - нет связи с платами Корунда"))
        << rig.err.toStdString();
    // One 6030 ms read, and the drain after it.
    EXPECT_LT(rig.clock.nowMs(), 7000) << line.join(' ').toStdString();
    EXPECT_EQ(filesIn(rig), QStringList{"blank.img"}) << line.join(' ').toStdString();
  }
}

TEST(ImageOnEmulator, AFramedReadThatGetsNoClosingReplyEndsTheBackupWithNoFile) {
  CliRig whole;
  ASSERT_FALSE(backupOf(whole).isEmpty());
  const int lastByte = int(whole.controller.sent().size()) - 1;

  CliRig rig;
  rig.controller.setFaults({.dropAt = lastByte});
  EXPECT_EQ(rig.run({"backup", rig.path("backup.img")}), cli::kExitLink);
  EXPECT_TRUE(
      rig.err.contains("backup stopped, no file written: RdRam ram 0x009C (amplifier) "
                       "failed: the controller did not answer"))
      << rig.err.toStdString();
  EXPECT_TRUE(filesIn(rig).isEmpty()) << filesIn(rig).join(' ').toStdString();
}

}  // namespace
}  // namespace calorix
