// The controller image: backup from one emulated controller, restore into
// another, verify, and every way a file is refused before anything is sent.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QDir>
#include <QRegularExpression>

#include <map>

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

// A valid image file of zero bytes, for the cases that need one.
QByteArray blankImage() {
  cli::Image image;
  image.date = QDateTime(QDate(2026, 3, 5), QTime(9, 5, 3));
  image.port = QStringLiteral("/dev/ttyS1");
  for (const RegionLayout& part : cli::imageLayout()) image.regions.emplace_back(part.size, 0);
  return cli::formatImage(image);
}

// What a clone must hold byte for byte, dumped without the image's layout:
// block memory 0x00..0x51 and 0x70..0x1FF, programs 1..17 in program memory,
// ROM 0x7C00..0x7DFF.
Bytes cloneDump(const sim::ControllerMemory& m) {
  Bytes out;
  auto add = [&](const auto& memory, int from, int to) {
    out.insert(out.end(), memory.begin() + from, memory.begin() + to + 1);
  };
  add(m.blockMem, 0x00, 0x51);
  add(m.blockMem, 0x70, 0x1FF);
  add(m.progMem, 0, 17 * 60 - 1);
  add(m.rom, 0x7C00, 0x7DFF);
  return out;
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
  b.writeFile("a.img", text);
  ASSERT_EQ(b.run({"restore", b.path("a.img")}), cli::kExitOk) << b.err.toStdString();
  EXPECT_TRUE(b.out.contains("the controller holds the image")) << b.out.toStdString();
  EXPECT_EQ(b.out.count(": written and verified\n"), int(layout.size())) << b.out.toStdString();
  for (const RegionLayout& part : layout)
    EXPECT_EQ(testing::regionBytes(b.controller.memory(), part),
              testing::regionBytes(a.controller.memory(), part))
        << part.name.toStdString();
  // The bytes of each ROM page after its two programs' stages included.
  EXPECT_EQ(cloneDump(b.controller.memory()), cloneDump(a.controller.memory()));
  // And the controller now answers a verify with the same file.
  EXPECT_EQ(b.run({"verify", b.path("a.img")}), cli::kExitOk) << b.err.toStdString();
}

TEST(ImageOnEmulator, AVersion1ImageStillRestoresItsProgramsAndLeavesTheRestOfTheirPages) {
  CliRig a;
  a.fillMemories(1);
  cli::Image old;
  old.version = 1;
  old.date = QDateTime(QDate(2026, 3, 5), QTime(9, 5, 3));
  old.port = QStringLiteral("/dev/ttyS1");
  for (const RegionLayout& part : cli::imageLayout(1))
    old.regions.push_back(testing::regionBytes(a.controller.memory(), part));

  CliRig b;
  b.fillMemories(2);
  const auto romBefore = b.controller.memory().rom;
  b.writeFile("old.img", cli::formatImage(old));
  ASSERT_EQ(b.run({"restore", b.path("old.img")}), cli::kExitOk) << b.err.toStdString();
  EXPECT_TRUE(b.out.contains("is a version 1 image")) << b.out.toStdString();
  for (std::size_t r = 0; r < old.regions.size(); ++r)
    EXPECT_EQ(testing::regionBytes(b.controller.memory(), old.layout()[r]), old.regions[r]) << r;
  // The image does not know the 4 bytes after each program: they stay.
  for (int program = 18; program <= 25; ++program) {
    const int gap = 0x7C00 + 64 * (program - 18) + 60;
    for (int i = gap; i < gap + 4; ++i)
      EXPECT_EQ(b.controller.memory().rom[i], romBefore[i]) << "ROM " << i;
  }
  EXPECT_EQ(b.run({"verify", b.path("old.img")}), cli::kExitOk) << b.err.toStdString();
}

// Where each region's restore ends, counted in the bytes the controller has
// sent: taken as the restore prints the region's line.
std::map<QString, std::size_t> regionEnds(const QByteArray& image) {
  CliRig rig;
  rig.fillMemories(2);
  rig.writeFile("a.img", image);
  std::map<QString, std::size_t> ends;
  rig.env.out = [&](const QString& line) {
    ends[line.section(QLatin1Char(' '), 0, 0)] = rig.controller.sent().size();
  };
  EXPECT_EQ(rig.run({"restore", rig.path("a.img")}), cli::kExitOk) << rig.err.toStdString();
  return ends;
}

TEST(ImageOnEmulator, AnInterruptedRestoreSaysWhatItWroteAndASecondOneFinishesIt) {
  CliRig a;
  a.fillMemories(1);
  const QByteArray text = backupOf(a);
  ASSERT_FALSE(text.isEmpty()) << a.err.toStdString();
  const auto ends = regionEnds(text);
  // Page command 9 (7 replies), the 128-byte window write (136), page command
  // 10 (7): the next reply lost is the one to page command 11's code byte, so
  // the page has been erased and is not written again.
  constexpr std::size_t kToPageCommand11 = 7 + 136 + 7;
  const struct {
    const char* name;
    std::size_t cutAt;
    const char* said;
  } cases[] = {
      {"in a block write", ends.at("coefficients") + 40,
       "restore stopped in program-table: WrBlock block 0x"},
      {"between erasing a ROM page and writing it", ends.at("programs-18-19") + kToPageCommand11,
       "restore stopped in programs-20-21: RomPageCmd11 page 0x7C80 (programs-20-21) failed: "
       "the controller did not answer"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    CliRig b;
    b.fillMemories(2);
    b.writeFile("a.img", text);
    b.controller.setFaults({.dropAt = int(c.cutAt)});
    ASSERT_EQ(b.run({"restore", b.path("a.img")}), cli::kExitLink) << b.out.toStdString();
    EXPECT_TRUE(b.err.contains(c.said)) << b.err.toStdString();
    EXPECT_TRUE(b.err.contains("written and verified: coefficients")) << b.err.toStdString();
    EXPECT_TRUE(
        b.err.contains("the controller is now mixed, part image and part its old "
                       "contents; run 'calorix-cli restore " +
                       b.path("a.img") + "' again to finish"))
        << b.err.toStdString();
    // The regions written before the cut were said as they were done.
    EXPECT_TRUE(b.out.startsWith("coefficients (block 0x0000, 82 bytes): written and verified\n"))
        << b.out.toStdString();
    EXPECT_TRUE(b.out.contains(": partly written\n")) << b.out.toStdString();

    // verify lists the regions still holding old contents.
    const QString stoppedIn =
        QRegularExpression("restore stopped in (\\S+):").match(b.err).captured(1);
    EXPECT_EQ(b.run({"verify", b.path("a.img")}), cli::kExitDiffers);
    EXPECT_TRUE(b.out.contains("differing regions: " + stoppedIn + "..amplifier\n"))
        << b.out.toStdString();

    ASSERT_EQ(b.run({"restore", b.path("a.img")}), cli::kExitOk) << b.err.toStdString();
    EXPECT_EQ(cloneDump(b.controller.memory()), cloneDump(a.controller.memory()));
  }
}

TEST(ImageOnEmulator, RegionLinesStartOnALineOfTheirOwnUnderTheBar) {
  CliRig rig;
  rig.writeFile("a.img", blankImage());
  QString terminal;  // stdout and stderr on one terminal
  rig.env.out = rig.env.err = [&](const QString& t) { terminal += t; };
  rig.env.errIsTerminal = true;
  ASSERT_EQ(rig.run({"restore", rig.path("a.img")}), cli::kExitOk);
  // What shows of a line is what follows its last carriage return, over a
  // bar blanked out before it.
  const QStringList lines = terminal.split(QLatin1Char('\n')).filter("written and verified");
  EXPECT_EQ(lines.size(), int(cli::imageLayout().size()));
  for (const QString& line : lines) {
    const QStringList drawn = line.split(QLatin1Char('\r'));
    EXPECT_FALSE(drawn.back().contains("restore [")) << line.toStdString();
    if (drawn.size() > 1) EXPECT_TRUE(drawn[drawn.size() - 2].trimmed().isEmpty());
  }
}

TEST(ImageOnEmulator, VerifyListsTheAddressesThatDiffer) {
  CliRig rig;
  rig.fillMemories(3);
  ASSERT_FALSE(backupOf(rig).isEmpty());
  auto& m = rig.controller.memory();
  m.rom[0x7C45] ^= 0xFF;  // program 19, byte 5
  for (int i = 0x72; i < 0x74; ++i) m.blockMem[i] ^= 0x01;
  // Program 18's last stage and the 4 bytes after it: two places, one named
  // by the program, one by its page.
  for (int i = 0x7C3B; i < 0x7C40; ++i) m.rom[i] ^= 0x5A;
  EXPECT_EQ(rig.run({"verify", rig.path("backup.img")}), cli::kExitDiffers);
  EXPECT_TRUE(rig.out.contains("block 0x0072..0x0073 (program-table)")) << rig.out.toStdString();
  EXPECT_TRUE(rig.out.contains("rom 0x7C45 (program-19)")) << rig.out.toStdString();
  EXPECT_TRUE(rig.out.contains("rom 0x7C3B (program-18)")) << rig.out.toStdString();
  EXPECT_TRUE(rig.out.contains("rom 0x7C3C..0x7C3F (page 0x7C00, after program-18)"))
      << rig.out.toStdString();
  EXPECT_TRUE(rig.out.contains("differing regions: program-table, programs-18-19\n"))
      << rig.out.toStdString();
  EXPECT_TRUE(rig.err.contains("differs from the image in 8 byte(s) at 4 place(s)"))
      << rig.err.toStdString();
}

TEST(ImageOnEmulator, ProgressIsOneLinePerRegionWhenStderrIsNoTerminal) {
  CliRig rig;
  ASSERT_FALSE(backupOf(rig).isEmpty());
  EXPECT_EQ(rig.err.count("backup: "), int(cli::imageLayout().size()));
  EXPECT_TRUE(rig.err.contains("backup: programs-18-19 (rom)\n"));
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
      {"another version", replaced("version 2\n", "version 3\n"),
       "image version 3 is not supported"},
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

TEST(ImageOnEmulator, AFramedReadThatDidNotComeWholeEndsTheBackupWithNoFile) {
  // Where the amplifier's read begins in what the controller sends.
  CliRig whole;
  std::size_t amplifier = 0;
  whole.env.err = [&](const QString& line) {
    if (line.contains("backup: amplifier")) amplifier = whole.controller.sent().size();
  };
  ASSERT_EQ(whole.run({"backup", whole.path("backup.img")}), cli::kExitOk);
  // Its replies: 5 to the frame bytes, 2 lead bytes, 4 data bytes, the closing byte.
  const int firstData = int(amplifier) + 5 + 2;
  const struct {
    const char* name;
    sim::Faults faults;
  } cases[] = {
      {"closing reply lost", {.dropAt = firstData + 4}},
      // The data read gives up between two bytes and the late ones are taken
      // for the closing reply.
      {"data late past the interval time-out", {.delayAt = firstData + 2, .delayMs = 2500}},
  };
  for (const auto& c : cases) {
    CliRig rig;
    rig.controller.setFaults(c.faults);
    EXPECT_EQ(rig.run({"backup", rig.path("backup.img")}), cli::kExitLink) << c.name;
    EXPECT_TRUE(
        rig.err.contains("backup stopped, no file written: RdRam ram 0x009C (amplifier) "
                         "failed: the controller did not answer"))
        << c.name << ": " << rig.err.toStdString();
    EXPECT_TRUE(filesIn(rig).isEmpty()) << filesIn(rig).join(' ').toStdString();
  }
}

TEST(ImageOnEmulator, NoImageMovesWhileARunHasTheControllerSendItsFrames) {
  for (const char* command : {"backup", "verify", "restore"}) {
    CliRig rig;
    rig.fillMemories(4);
    rig.writeFile("blank.img", blankImage());
    // A run as the PID window starts it: R5 bit 2, then the Пуск key.
    QString why;
    Link* link = rig.env.openLink(cli::GlobalOptions{}, &why);
    ASSERT_TRUE(link) << why.toStdString();
    link->SetRegBits(ctl::reg::kRun, ctl::reg::kRunPidFrames, ctl::reg::kKeepAnd);
    link->SendPanelKey(ctl::panelKey::kPuskStop);
    const sim::ControllerMemory before = rig.controller.memory();
    const QString file = rig.path(command == QString("backup") ? "new.img" : "blank.img");
    EXPECT_EQ(rig.run({command, file}), cli::kExitLink) << command;
    EXPECT_TRUE(rig.err.contains("a heating run is on (R5 bit 2)")) << rig.err.toStdString();
    EXPECT_EQ(filesIn(rig), QStringList{"blank.img"}) << command;
    EXPECT_EQ(cloneDump(rig.controller.memory()), cloneDump(before)) << command;
  }
}

}  // namespace
}  // namespace calorix
