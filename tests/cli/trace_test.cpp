// The protocol decoder over files that the link itself wrote: every framed
// command kind, the PID frame, a short read and a failed write with their
// break-offs, and a read cut short once the line had broken.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>

#include <algorithm>

#include "cli/TraceDecode.h"
#include "core/Cp1251.h"
#include "tests/cli/CliRig.h"
#include "tests/support/LinkHarness.h"

namespace calorix {
namespace {

using cli::TraceEntry;
using Bytes = std::vector<std::uint8_t>;

// The protocol files in the order they were started: by the time in their
// name, then by the number a file started within the same second gets.
QStringList protocolFiles(const QString& dir) {
  QStringList names = QDir(dir).entryList({"*.txt"}, QDir::Files);
  static const QRegularExpression name(R"(^(\d\d_\d\d_\d\d) Data(?: \((\d+)\))?\.txt$)");
  auto key = [](const QString& n) {
    const auto m = name.match(n);
    return std::make_pair(m.captured(1), m.captured(2).isEmpty() ? 1 : m.captured(2).toInt());
  };
  std::sort(names.begin(), names.end(),
            [&](const QString& a, const QString& b) { return key(a) < key(b); });
  QStringList paths;
  for (const QString& n : names) paths << QDir(dir).filePath(n);
  return paths;
}

QStringList linesOf(const QStringList& paths) {
  QStringList lines;
  for (const QString& path : paths) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) continue;
    const QString text = cp1251::decode(file.readAll());
    QStringList l = text.split(QStringLiteral("\r\n"));
    if (!l.isEmpty() && l.back().isEmpty()) l.removeLast();
    lines += l;
  }
  return lines;
}

struct Traced {
  testing::LinkHarness h;
  std::vector<TraceEntry> entries;
  QStringList files;

  Traced() {
    h.start(QStringLiteral("[RS485]\r\nWriteRs485=Enabled\r\n"));
    Link& link = h.link();
    auto& ram = h.ctrl().memory().ram;
    for (int i = 0; i < 16; ++i) ram[0x60 + i] = std::uint8_t(0x30 + i);
    h.ctrl().memory().rom[0x7C00] = 0xAB;

    link.SetRegBits(ctl::reg::kRun, ctl::reg::kRunPidFrames, ctl::reg::kKeepAnd);
    link.WrRam(0xDC, Bytes{0x2C, 0x01});
    link.RdRam(0x60, 16);
    link.WrProgMem(0x3C, Bytes{1, 2, 3, 4});
    link.RdProgMem(0x00, 60);
    link.RomPageCmd9(0x7C00);
    link.RomPageCmd10(0x7C00);
    link.RomPageCmd11(0x7C00);
    link.RdRom(0x7C00, 4);
    link.SendPanelKey(ctl::panelKey::kPuskStop);  // the controller starts its PID frames
    h.clock().advance(1500);
    link.RdPidFrame();
    link.SendPanelKey(ctl::panelKey::kPuskStop);
    h.ctrl().setFaults({.shortBlockBytes = 3});
    link.RdRam(0x60, 16);  // 3 of 16 data bytes: the file is broken off
    h.breakLink();         // a key frame whose first byte cannot be written
    link.RdRam(0x60, 1);   // stops after its code byte now
    link.SendPanelKey(ctl::panelKey::kProg);

    files = protocolFiles(link.protocolDir());
    entries = cli::decodeTrace(linesOf(files));
  }

  std::vector<const TraceEntry*> commands() const {
    std::vector<const TraceEntry*> out;
    for (const TraceEntry& e : entries)
      if (e.kind != TraceEntry::Kind::Line) out.push_back(&e);
    return out;
  }
};

QString names(const std::vector<const TraceEntry*>& entries) {
  QStringList out;
  for (const TraceEntry* e : entries)
    out << (e->kind == TraceEntry::Kind::Read ? QStringLiteral("(read)")
                                              : cli::commandName(e->sent[0]));
  return out.join(' ');
}

TEST(TraceDecode, EveryCommandKindTheLinkWroteComesBackWhole) {
  Traced t;
  const auto c = t.commands();
  ASSERT_EQ(names(c),
            "SetRegBits WrRam RdRam WrProgMem RdProgMem RomPageCmd9 RomPageCmd10 RomPageCmd11 "
            "RdRom SendPanelKey (read) SendPanelKey RdRam SendPanelKey RdRam SendPanelKey")
      << [&] {
           std::string all;
           for (const TraceEntry& e : t.entries) all += cli::entryText(e).toStdString() + "\n";
           return all;
         }();
  const Bytes frames[] = {
      {0x01, 0x05, 0x05, 0x04, 0xFF, 0x80},
      {0x04, 0x07, 0xDC, 0x00, 0x02, 0x2C, 0x01, 0x80},
      {0x05, 0x05, 0x60, 0x00, 0x10, 0x80},
      {0x06, 0x09, 0x3C, 0x00, 0x04, 0x01, 0x02, 0x03, 0x04, 0x80},
      {0x07, 0x05, 0x00, 0x00, 0x3C, 0x80},
      {0x09, 0x04, 0x00, 0x7C, 0x80},
      {0x0A, 0x04, 0x00, 0x7C, 0x80},
      {0x0B, 0x04, 0x00, 0x7C, 0x80},
      {0x0C, 0x05, 0x00, 0x7C, 0x04, 0x80},
      {0x08, 0x03, 0x01, 0x80},
  };
  for (std::size_t i = 0; i < std::size(frames); ++i) {
    const TraceEntry& e = *c[i];
    EXPECT_EQ(e.sent, frames[i]) << cli::entryText(e).toStdString();
    EXPECT_FALSE(e.cutOff || e.writeFailed) << cli::entryText(e).toStdString();
    for (std::size_t b = 0; b + 1 < e.sent.size(); ++b)
      EXPECT_TRUE(e.answers[b] && e.answers[b]->got == 1) << cli::entryText(e).toStdString();
    const bool blockRead = e.sent[0] == 0x05 || e.sent[0] == 0x07 || e.sent[0] == 0x0C;
    EXPECT_EQ(e.tail.size(), blockRead ? 4u : 3u) << cli::entryText(e).toStdString();
  }
  EXPECT_TRUE(
      cli::entryText(*c[0]).contains("SetRegBits R5 or 0x04 and 0xFF | sent 01 05 05 04 "
                                     "FF 80 | answers 01 05 05 04 FF | tail "));
  EXPECT_TRUE(
      cli::entryText(*c[1]).contains("WrRam addr 0x00DC count 2 data 2C 01 | sent 04 07 DC "
                                     "00 02 2C 01 80 | answers "));
  // A block read's data shows as the trace holds it: the count and the first four bytes.
  EXPECT_TRUE(cli::entryText(*c[2]).contains("RdRam addr 0x0060 count 16 |"));
  EXPECT_TRUE(cli::entryText(*c[2]).contains("[16: 30 31 32 33 ...]"));
  EXPECT_TRUE(cli::entryText(*c[8]).contains("RdRom addr 0x7C00 count 4 |"));
  EXPECT_TRUE(cli::entryText(*c[8]).contains("[4: AB "));
  EXPECT_TRUE(cli::entryText(*c[5]).contains("RomPageCmd9 page 0x7C00 |"));
  EXPECT_TRUE(cli::entryText(*c[9]).contains("SendPanelKey key 0x01 |"));
  EXPECT_EQ(c[10]->read->asked, t.h.link().settings().dataPid);
  EXPECT_EQ(c[10]->read->got, c[10]->read->asked);
  // Time stamps are kept: each command carries the stamp of its first line.
  for (const TraceEntry* e : c)
    EXPECT_TRUE(QRegularExpression(R"(^\d\d:\d\d:\d\d:\d\d$)").match(e->stamp).hasMatch());
}

TEST(TraceDecode, BreakOffsAndErrorsAreKeptWhereTheyHappened) {
  Traced t;
  ASSERT_GE(t.files.size(), 3);
  const auto c = t.commands();
  ASSERT_EQ(c.size(), 16u);

  // The short read: three data bytes and the closing byte arrive in the data
  // read, the last read gets nothing; each short read broke the file off, the
  // first while the command ran, the second once its last read was in.
  const TraceEntry& shortRead = *c[12];
  ASSERT_EQ(shortRead.tail.size(), 4u);
  EXPECT_EQ(shortRead.tail[2].got, 4);
  EXPECT_EQ(shortRead.tail[2].asked, 16);
  EXPECT_EQ(shortRead.tail[3].got, 0);
  EXPECT_TRUE(cli::entryText(shortRead).contains("[4 of 16: 30 31 32 80] --"))
      << cli::entryText(shortRead).toStdString();
  const QStringList breakOff{QString::fromUtf8("Разрыв файла протокола"),
                             QString::fromUtf8("Данные работы RS485   "),
                             QString::fromUtf8("Продолжение файла протокола после ошибки")};
  EXPECT_EQ(shortRead.inside, breakOff);
  const auto next = std::find_if(t.entries.begin(), t.entries.end(),
                                 [&](const TraceEntry& e) { return &e == &shortRead; }) +
                    1;
  ASSERT_LT(next + 2, t.entries.end());
  EXPECT_EQ((QStringList{next->text, (next + 1)->text, (next + 2)->text}), breakOff);

  const TraceEntry& failed = *c[13];
  EXPECT_TRUE(failed.writeFailed);
  EXPECT_EQ(failed.sent, Bytes{0x08});
  EXPECT_TRUE(cli::entryText(failed).contains("write of 08 failed"))
      << cli::entryText(failed).toStdString();
  // Its break-off lines follow it as they were written.
  const auto at = std::find_if(t.entries.begin(), t.entries.end(),
                               [&](const TraceEntry& e) { return &e == &failed; });
  ASSERT_NE(at, t.entries.end());
  ASSERT_LT(at + 1, t.entries.end());
  EXPECT_EQ((at + 1)->text, QString::fromUtf8("Разрыв файла протокола"));

  // Once the line has broken, RdRam stops after its code byte; the key frame
  // after it is read whole again.
  EXPECT_TRUE(c[14]->cutOff);
  EXPECT_EQ(c[14]->sent, Bytes{0x05});
  EXPECT_EQ(c[15]->sent, (Bytes{0x08, 0x03, 0x02, 0x80}));
  EXPECT_FALSE(c[15]->cutOff);
}

TEST(TraceDecode, TheTraceCommandPrintsOneLinePerCommand) {
  Traced t;
  testing::CliRig rig;
  QStringList args{"--json", "trace"};
  args += t.files;
  ASSERT_EQ(rig.run(args), cli::kExitOk) << rig.err.toStdString();
  const QJsonArray entries =
      QJsonDocument::fromJson(rig.out.toUtf8()).object()["entries"].toArray();
  ASSERT_EQ(entries.size(), qsizetype(t.entries.size()));
  const QJsonObject rdRam = entries[3].toObject();  // after the first line, SetRegBits, WrRam
  EXPECT_EQ(rdRam["command"].toString(), "RdRam");
  EXPECT_EQ(rdRam["parameters"].toString(), "addr 0x0060 count 16");
  EXPECT_EQ(rdRam["tail"].toArray()[2].toObject()["got"].toInt(), 16);

  ASSERT_EQ(rig.run(QStringList{"trace"} + t.files), cli::kExitOk);
  EXPECT_TRUE(rig.out.startsWith(QString::fromUtf8("Данные работы RS485   \n")));
  EXPECT_EQ(rig.run({"trace", rig.path("missing.txt")}), cli::kExitFile);
  EXPECT_TRUE(rig.err.contains("cannot read " + rig.path("missing.txt")));
}

}  // namespace
}  // namespace calorix
