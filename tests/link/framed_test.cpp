// The framed traced commands: frames as the controller saw them, the tail
// reads as the trace shows them, the special rules of RdRam and RdPidFrame.
#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <functional>
#include <vector>

#include "core/Abort.h"
#include "core/FramedCommandTable.h"
#include "link/Link.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptPeer.h"
#include "tests/support/UnitRig.h"

namespace calorix {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::LinkHarness;
using testing::ScriptLink;
using testing::traceTexts;
using testing::UnitRig;

const QString kTraceOn = QStringLiteral("[RS485]\r\nWriteRs485=Enabled\r\n");

QStringList matching(const QStringList& lines, const QString& prefix) {
  QStringList out;
  for (const QString& line : lines)
    if (line.startsWith(prefix)) out << line;
  return out;
}

class FramedOnEmulator : public ::testing::Test {
 protected:
  void SetUp() override {
    h.start(kTraceOn);
    ASSERT_NE(h.port(), nullptr);
    h.ctrl().clearLogs();
  }
  Link& link() { return h.link(); }
  Bytes received() { return h.ctrl().received(); }
  QStringList trace() { return traceTexts(link().protocolPath()); }
  // A status no framed command produces: 2 with its text, from a refused key.
  void leaveRefusedStatus() {
    h.ctrl().setFaults({.refuseCommand = 0x10});
    link().SendKeyCode(0x10);
    h.ctrl().setFaults({});
    h.ctrl().clearLogs();
    ASSERT_EQ(link().status().code, 2);
  }

  LinkHarness h;
};

struct FrameCase {
  const char* name;
  std::function<void(Link&)> run;
  Bytes frame;
};
// Test names show the case, not its bytes.
void PrintTo(const FrameCase& c, std::ostream* os) {
  *os << c.name;
}

class FrameLayout : public FramedOnEmulator, public ::testing::WithParamInterface<FrameCase> {};

TEST_P(FrameLayout, GoesOutByteForByteAndEndsDone) {
  leaveRefusedStatus();
  GetParam().run(link());
  EXPECT_EQ(received(), GetParam().frame);
  EXPECT_EQ(link().status().code, 0);
  EXPECT_EQ(link().status().text, status_text::refused());
  EXPECT_EQ(link().FlagLinkBreak(), 0);
  EXPECT_TRUE(link().lastFramedAnswered());
  // One write line per frame byte, and nothing went short.
  EXPECT_EQ(matching(trace(), QStringLiteral("WriteFile 1 код ")).size(),
            qsizetype(GetParam().frame.size()));
  EXPECT_TRUE(trace().filter(QString::fromUtf8("мало данных")).isEmpty());
}

const FrameCase kFrameCases[] = {
    FrameCase{"SetRegBits",
              [](Link& l) { l.SetRegBits(5, 0x04, 0xFF); },
              {0x01, 0x05, 0x05, 0x04, 0xFF, 0x80}},
    FrameCase{"WrRam",
              [](Link& l) {
                l.WrRam(0x00DC, Bytes{0xD0, 0xD1});
              },
              {0x04, 0x07, 0xDC, 0x00, 0x02, 0xD0, 0xD1, 0x80}},
    FrameCase{"RdRam", [](Link& l) { l.RdRam(0x0060, 16); }, {0x05, 0x05, 0x60, 0x00, 0x10, 0x80}},
    FrameCase{"WrProgMem",
              [](Link& l) { l.WrProgMem(0x003C, Bytes{0xD0}); },
              {0x06, 0x06, 0x3C, 0x00, 0x01, 0xD0, 0x80}},
    FrameCase{
        "RdProgMem", [](Link& l) { l.RdProgMem(0x003C, 60); }, {0x07, 0x05, 0x3C, 0x00, 60, 0x80}},
    FrameCase{"SendPanelKey", [](Link& l) { l.SendPanelKey(0x80); }, {0x08, 0x03, 0x80, 0x80}},
    FrameCase{
        "RomPageCmd9", [](Link& l) { l.RomPageCmd9(0x7C00); }, {0x09, 0x04, 0x00, 0x7C, 0x80}},
    FrameCase{
        "RomPageCmd10", [](Link& l) { l.RomPageCmd10(0x7C80); }, {0x0A, 0x04, 0x80, 0x7C, 0x80}},
    FrameCase{
        "RomPageCmd11", [](Link& l) { l.RomPageCmd11(0x7D00); }, {0x0B, 0x04, 0x00, 0x7D, 0x80}},
    FrameCase{"RdRom", [](Link& l) { l.RdRom(0x7C00, 60); }, {0x0C, 0x05, 0x00, 0x7C, 60, 0x80}},
};

INSTANTIATE_TEST_SUITE_P(Commands, FrameLayout, ::testing::ValuesIn(kFrameCases),
                         [](const ::testing::TestParamInfo<FrameCase>& param) {
                           return std::string(param.param.name);
                         });

// A command added to the table has its operation on the link, under its name.
TEST(FramedCommands, EveryCommandOfTheTableHasItsFrameCase) {
  ASSERT_EQ(std::size(kFrameCases), ctl::framed::kCommands.size());
  for (const ctl::framed::Command& cmd : ctl::framed::kCommands) {
    const auto it = std::find_if(std::begin(kFrameCases), std::end(kFrameCases),
                                 [&](const FrameCase& c) { return c.name == cmd.name; });
    ASSERT_NE(it, std::end(kFrameCases)) << cmd.name;
    EXPECT_EQ(it->frame[0], cmd.code) << cmd.name;
  }
}

TEST_F(FramedOnEmulator, PanelKeyIsFourWritesAndSixReads) {
  link().SendPanelKey(0x80);
  const QStringList lines = trace();
  EXPECT_EQ(matching(lines, QStringLiteral("WriteFile")),
            (QStringList{QString::fromUtf8("WriteFile 1 код 08 записалось в буфер порта"),
                         QString::fromUtf8("WriteFile 1 код 03 записалось в буфер порта"),
                         QString::fromUtf8("WriteFile 1 код 80 записалось в буфер порта"),
                         QString::fromUtf8("WriteFile 1 код 80 записалось в буфер порта")}));
  EXPECT_EQ(matching(lines, QString::fromUtf8("ReadFile 1 код из 1 ")).size(), 6);
  EXPECT_EQ(link().status().code, 0);
}

TEST_F(FramedOnEmulator, RamReadTailIsOneOneCountOne) {
  // An earlier, longer read leaves 0x5C at ReadBuf[16].
  h.ctrl().memory().ram[0x0110] = 0x5C;
  link().RdRam(0x0100, 17);
  for (int i = 0; i < 16; ++i) h.ctrl().memory().ram[0x60 + i] = std::uint8_t(0xA0 + i);
  const Link::View read = link().RdRam(0x0060, 16);
  const QStringList lines = trace();
  const qsizetype endByte =
      lines.lastIndexOf(QString::fromUtf8("WriteFile 1 код 80 записалось в буфер порта"));
  ASSERT_GE(endByte, 0);
  const QStringList tail = matching(lines.mid(endByte + 1), QStringLiteral("ReadFile"));
  ASSERT_EQ(tail.size(), 4);
  EXPECT_TRUE(tail[0].startsWith(QString::fromUtf8("ReadFile 1 код из 1 ")));
  EXPECT_TRUE(tail[1].startsWith(QString::fromUtf8("ReadFile 1 код из 1 ")));
  EXPECT_TRUE(tail[2].startsWith(QString::fromUtf8("ReadFile 16 код из 16 ")));
  EXPECT_TRUE(tail[3].startsWith(QString::fromUtf8("ReadFile 1 код из 1 ")));
  EXPECT_TRUE(lines.contains(QString::fromUtf8("первые 4 кода A0 A1 A2 A3")));
  for (int i = 0; i < 16; ++i) EXPECT_EQ(link().ReadBuf()[i], 0xA0 + i) << i;
  EXPECT_EQ(link().ReadBuf()[16], 0x5C);
  // The view is exactly the bytes this read filled.
  EXPECT_EQ(read.data(), link().ReadBuf().data());
  EXPECT_EQ(read.size(), 16u);
}

TEST_F(FramedOnEmulator, WriteReachesControllerMemory) {
  const std::array<std::uint8_t, 4> bytes{0x12, 0x34, 0x56, 0x78};
  h.ctrl().memory().ram[0xDE] = 0x99;
  link().WrRam(0x00DC, std::span(bytes).first(2));
  EXPECT_EQ(h.ctrl().memory().ram[0xDC], 0x12);
  EXPECT_EQ(h.ctrl().memory().ram[0xDD], 0x34);
  // Only the bytes handed over go out.
  EXPECT_EQ(h.ctrl().memory().ram[0xDE], 0x99);
  EXPECT_EQ(received(), (Bytes{0x04, 0x07, 0xDC, 0x00, 0x02, 0x12, 0x34, 0x80}));
}

TEST_F(FramedOnEmulator, ShortBlockCopiesWhatTheFrameBufferHolds) {
  for (int i = 0; i < 4; ++i) h.ctrl().memory().ram[0x0100 + i] = std::uint8_t(0x10 + i);
  // An earlier read leaves 0xEE in frame bytes 1..3 (byte 0 is its last reply).
  for (int i = 0; i < 4; ++i) h.ctrl().memory().ram[0x0200 + i] = 0xEE;
  link().RdRam(0x0200, 4);
  const QString before = link().protocolPath();
  h.ctrl().setFaults({.shortBlockBytes = 2});
  link().RdRam(0x0100, 4);
  EXPECT_EQ(link().ReadBuf()[0], 0x10);
  EXPECT_EQ(link().ReadBuf()[1], 0x11);
  // The closing byte comes in the data read; the fourth byte is stale.
  EXPECT_EQ(link().ReadBuf()[3], 0xEE);
  // Not reported to the caller, only in the trace, which goes on in a new file.
  EXPECT_EQ(link().status().code, 0);
  EXPECT_EQ(link().FlagLinkBreak(), 0);
  EXPECT_EQ(traceTexts(before).last(), QString::fromUtf8("Разрыв файла протокола"));
  EXPECT_NE(link().protocolPath(), before);
}

// Data that pause longer than the interval between two bytes end the data
// read short; the closing read then takes a data byte, and the answers after
// it are shifted by one. Such a read is not answered, though its last read
// got a byte.
TEST_F(FramedOnEmulator, ADataReadThatCameShortLeavesTheReadUnanswered) {
  for (int i = 0; i < 4; ++i) h.ctrl().memory().ram[0x0100 + i] = std::uint8_t(0x10 + i);
  // Replies: five frame bytes, two tail bytes, then the data from byte 7.
  h.ctrl().setFaults({.delayAt = 9, .delayMs = 2500});
  link().RdRam(0x0100, 4);
  EXPECT_NE(link().ReadBuf()[2], 0x12) << "the data read was not cut";
  EXPECT_FALSE(link().lastFramedAnswered());
}

TEST_F(FramedOnEmulator, AfterTheLinkBrokeRamReadSendsOnlyItsCode) {
  h.breakLink();
  ASSERT_EQ(link().FlagLinkBreak(), 1);
  ASSERT_EQ(link().status().code, 255);
  link().RdRam(0x0060, 16);
  EXPECT_EQ(received(), (Bytes{0x05}));
  EXPECT_EQ(matching(trace(), QStringLiteral("ReadFile")).size(), 1);
  EXPECT_EQ(link().status().code, 0);
  // Cut short: not answered, though every byte it sent went out.
  EXPECT_FALSE(link().lastFramedAnswered());
}

TEST(FramedCommands, PortFailedAtStartEveryCommandEndsAfterItsFirstByte) {
  const std::vector<std::pair<const char*, std::function<void(Link&)>>> commands{
      {"01", [](Link& l) { l.SetRegBits(5, 4, 0xFF); }},
      {"04", [](Link& l) { l.WrRam(0xDC, Bytes(2)); }},
      {"05", [](Link& l) { l.RdRam(0x60, 16); }},
      {"06", [](Link& l) { l.WrProgMem(0, Bytes(4)); }},
      {"07", [](Link& l) { l.RdProgMem(0, 60); }},
      {"08", [](Link& l) { l.SendPanelKey(2); }},
      {"09", [](Link& l) { l.RomPageCmd9(0x7C00); }},
      {"0A", [](Link& l) { l.RomPageCmd10(0x7C00); }},
      {"0B", [](Link& l) { l.RomPageCmd11(0x7C00); }},
      {"0C", [](Link& l) { l.RdRom(0x7C00, 60); }},
  };
  for (const auto& [code, run] : commands) {
    LinkHarness h;
    h.start(QStringLiteral("[Com port]\r\nNumPort=17\r\n") + kTraceOn);
    const QString first = h.link().protocolPath();
    const qint64 t0 = h.clock().nowMs();
    run(h.link());
    EXPECT_EQ(h.link().status().code, 255) << code;
    EXPECT_EQ(h.link().status().text, status_text::writeFailed()) << code;
    EXPECT_EQ(h.link().FlagLinkBreak(), 1) << code;
    EXPECT_FALSE(h.link().lastFramedAnswered()) << code;
    EXPECT_EQ(h.clock().nowMs(), t0) << code << " waited for a reply";
    // The two failure lines and the break in the first file, a new file after.
    const QString failed =
        QString::fromUtf8("WriteFile 1 код %1 ошибка 255 - не записалось в буфер порта").arg(code);
    EXPECT_EQ(traceTexts(first),
              (QStringList{failed, failed + QString::fromUtf8(" ошибка - неизвестная переменная "),
                           QString::fromUtf8("Разрыв файла протокола")}))
        << code;
    EXPECT_NE(h.link().protocolPath(), first) << code;
  }
}

// The label shows only when a write fails: the port goes away at byte k.
struct LabelCase {
  const char* name;
  std::function<void(Link&)> run;
  std::size_t failingByte;
  const char* label;
};
// Test names show the case, not its bytes.
void PrintTo(const LabelCase& c, std::ostream* os) {
  *os << c.name;
}

class FailedWriteLabel : public ::testing::TestWithParam<LabelCase> {};

TEST_P(FailedWriteLabel, NamesTheValueThatDidNotGoOut) {
  ScriptLink s;
  s.start(true);
  const LabelCase& c = GetParam();
  s.peer().respond = testing::framedResponder();
  s.port()->goneProbe = [&] { return s.peer().received.size() == c.failingByte; };
  c.run(s.link());
  EXPECT_EQ(s.peer().received.size(), c.failingByte);
  EXPECT_EQ(s.link().status().code, 255);
  const QStringList lines = traceTexts(s.protocolFiles().first());
  const QStringList failed = matching(lines, QString::fromUtf8("WriteFile")).filter("255");
  ASSERT_EQ(failed.size(), 2);
  EXPECT_TRUE(failed[1].endsWith(QString::fromUtf8(" ошибка - неизвестная переменная ") +
                                 QString::fromUtf8(c.label)))
      << failed[1].toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Labels, FailedWriteLabel,
    ::testing::Values(
        LabelCase{"RdRamAddrHigh", [](Link& l) { l.RdRam(0x60, 1); }, 3, "Buffer"},
        LabelCase{"RdRamEnd", [](Link& l) { l.RdRam(0x60, 1); }, 5, "Buffer"},
        LabelCase{"RdRamCount", [](Link& l) { l.RdRam(0x60, 1); }, 4, ""},
        LabelCase{"SetRegBitsOrMask", [](Link& l) { l.SetRegBits(5, 4, 0xFF); }, 3, "Buffer"},
        LabelCase{"SetRegBitsAndMask", [](Link& l) { l.SetRegBits(5, 4, 0xFF); }, 4, ""},
        LabelCase{"SetRegBitsEnd", [](Link& l) { l.SetRegBits(5, 4, 0xFF); }, 5, "Buffer"},
        LabelCase{"RomPageEnd", [](Link& l) { l.RomPageCmd10(0x7C00); }, 4, "Buffer"},
        LabelCase{"RdRomAddrHigh", [](Link& l) { l.RdRom(0x7C00, 2); }, 3, "Buffer"},
        LabelCase{"WrRamEnd", [](Link& l) { l.WrRam(0xDC, Bytes(2)); }, 7, ""},
        LabelCase{"PanelKeyCode", [](Link& l) { l.SendPanelKey(0x40); }, 2, ""}),
    [](const ::testing::TestParamInfo<LabelCase>& param) { return std::string(param.param.name); });

TEST(FramedCommands, RamReadWhoseCodeFailsTracesTheLineOnceMore) {
  ScriptLink s;
  s.start(true);
  s.port()->setGone(true);
  s.link().RdRam(0x60, 16);
  const QStringList files = s.protocolFiles();
  ASSERT_EQ(files.size(), 2);
  ASSERT_TRUE(s.link().protocolPath().endsWith(" Data (2).txt"));
  const QStringList fresh = traceTexts(s.link().protocolPath());
  ASSERT_EQ(fresh.size(), 2) << fresh.join("|").toStdString();
  EXPECT_EQ(fresh[0], QString::fromUtf8("Продолжение файла протокола после ошибки"));
  EXPECT_EQ(fresh[1],
            QString::fromUtf8("WriteFile 1 код 05 ошибка 255 - не записалось в буфер порта"
                              " ошибка - неизвестная переменная "));
}

TEST(FramedCommands, OverlongWriteBlockIsRefusedBeforeAnyByte) {
  ScriptLink s;
  s.start(true);
  EXPECT_THROW(s.link().WrRam(0, Bytes(251)), AbortAction);
  EXPECT_THROW(s.link().WrProgMem(0, Bytes(255)), AbortAction);
  EXPECT_THROW(s.link().WrProgMem(0, Bytes(300)), AbortAction);
  EXPECT_TRUE(s.peer().received.empty());
  s.peer().respond = testing::framedResponder();
  s.link().WrRam(0, Bytes(250));
  EXPECT_EQ(s.peer().received.size(), 256u);
  EXPECT_EQ(s.peer().received[1], 255);
}

TEST(FramedCommands, PidFrameFillsTheMirrorFromFixedFrameBytes) {
  UnitRig r;
  // Bytes an earlier long read left in the frame buffer.
  r.peer.sendAt(r.clock.nowMs(), Bytes(512, 0xC3));
  ASSERT_EQ(r.framed.TracedRead(512, QString()).size(), 512u);
  const QString first = r.trace.protocolPath();
  Bytes frame(310);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = std::uint8_t(i * 7 + 1);
  r.peer.sendAt(r.clock.nowMs(), frame);
  r.state.status = {9, QStringLiteral("untouched")};
  r.framed.RdPidFrame(310);
  const auto& m = r.framed.RamMirror();
  for (int i = 0; i <= 32; ++i) EXPECT_EQ(m[i], frame[3 + i]) << i;
  for (int i = 96; i <= 370; ++i) EXPECT_EQ(m[i], frame[i - 96 + 35]) << i;
  for (int i = 371; i <= 383; ++i) EXPECT_EQ(m[i], 0xC3) << i;
  EXPECT_EQ(m[32], m[96]);
  EXPECT_EQ(r.state.status.code, 9);
  EXPECT_EQ(r.state.status.text, QStringLiteral("untouched"));
  EXPECT_TRUE(r.peer.received.empty());
  const QStringList lines = traceTexts(r.trace.protocolPath());
  ASSERT_EQ(r.trace.protocolPath(), first);
  ASSERT_EQ(lines.size(), 4);
  EXPECT_TRUE(lines[2].startsWith(QString::fromUtf8("ReadFile 310 код из 310 ")));
}

// Through the facade: DataPid from the settings, the mirror as the windows
// see it, the status untouched.
TEST(FramedCommands, PidFrameThroughTheLinkUsesDataPid) {
  ScriptLink s;
  s.start(true, QStringLiteral("[Data PID]\r\nDataPid=40\r\n"));
  Bytes frame(40);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = std::uint8_t(0x40 + i);
  s.peer().sendAt(s.clock().nowMs(), frame);
  s.link().RdPidFrame();
  EXPECT_EQ(s.link().RamMirror()[0], 0x43);
  EXPECT_EQ(s.link().RamMirror()[96], frame[35]);
  EXPECT_EQ(s.link().RamMirror()[100], frame[39]);
  EXPECT_EQ(s.link().status().code, 0);
  const QStringList lines = traceTexts(s.link().protocolPath());
  ASSERT_FALSE(lines.isEmpty());
  EXPECT_TRUE(lines[0].startsWith(QString::fromUtf8("ReadFile 40 код из 40 ")));
}

}  // namespace
}  // namespace calorix
