// The fault matrix: every link operation and every window action that
// exchanges with the controller, against every fault the emulator injects.
// Each cell ends with the link status its layer gives for that fault, within
// bounded virtual time and without anything escaping; then the fault is
// lifted and the same action succeeds. A row is one line of the table below
// (a new window action is one more line), a column one line of kFaults.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QCoreApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <vector>

#include "app/TForm2.h"
#include "core/ControllerMap.h"
#include "core/NumberText.h"
#include "pid/PidRun.h"
#include "pid/TFormRabPID.h"
#include "pid/TelemetryStream.h"
#include "programs/TFormDataDide.h"
#include "programs/TFormVvodProg.h"
#include "sim/Firmware.h"
#include "tests/reliability/fault_rig.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/TestApplication.h"
#include "tools/TFormDopParam.h"
#include "tools/TFormDopRAM.h"
#include "tools/TFormIzmKoef.h"

namespace calorix {
namespace {

using namespace matrix;
using testing::ConsoleHarness;

enum Layer { kPlain, kFramed, kRaw };

struct Row {
  const char* name;
  Layer layer;
  std::uint8_t firstCode;  // the command byte that "refused 0x81" refuses
  // Expected link status per fault, in kFaults order (one of the kinds
  // below). A cell is one code, or codes joined by '|' where the protocol
  // leaves the choice to timing; "-": the status is left as it was.
  const char* expected;
  std::function<void(Rig&)> action;
  std::function<void(Rig&)> prepare = {};  // runs fault-free before each cell
};

// What the protocol makes of each fault, by the kind of exchange. Every fault
// but silence and the lost line fires once, on the controller's first reply
// byte (refusal, wrong echo, dropped byte), on its fourth (the delay), or on
// the first data block (short block).
//
// A plain command: ChkReply judges the echo of the command byte: nothing is 1,
// 0x81 is 2, another byte 254. A byte 2.5 s late is within the 6 s a one-byte
// read waits (the interval time-out acts only between the bytes of one
// read): 0. A short block leaves the closing 0x80 among the data and the
// closing read empty: 1 for the block commands, nothing to cut (0) elsewhere.
// A controller that keeps sending never leaves a read empty and never sends
// 0x81, so 0 or 254: which one depends on whether a filler byte lands before
// a judged reply byte, a matter of timing the protocol does not fix. Only
// where the controller itself answers after a pause (the RAM-output step's
// 0x80 comes after 300 ms of silence) is the filler first for certain: 254.
const char* const kPlainCommand = "1 2 254 1 0 0 0|254 255";
const char* const kPlainBlock = "1 2 254 1 0 1 0|254 255";
const char* const kRamOutSteps = "1 2 254 1 0 0 254 255";
// The typed reads and writes, and the window actions built of several plain
// commands that end with a sync: every step runs whatever the one before it
// did, and the closing sync's status is what remains. A fault that fired once
// has passed by then: only silence (1) and the lost line (255) show.
const char* const kPlainSequence = "1 0 0 0 0 0 0|254 255";
// Framed commands: the answers are traced, not judged: 0, or 255 for a port
// whose writes fail. A raw byte write judges nothing but the write.
const char* const kNotJudged = "0 0 0 0 0 0 0 255";
// A raw sync and a stream block of its two reply bytes: nothing at all is a
// pause in the stream (silence, the dropped echo after which the controller
// gives the sync up); part of the block (0x81 alone, a wrong echo without its
// 0x80) is status 1; a stream block reads fillers as data.
const char* const kStreamSync = "0 1 1 0 0 0 0 255";
const char* const kReadsOnly = "- - - - - - - -";
// The P/B stream leaves the status of its last step: the key code's when
// nothing followed it (silence 1, refusal 2), else that of its reads. These
// are the statuses the emulator's faults give it today, kept exact so that a
// change in how the stream ends shows here.
const char* const kStream = "1 2 0 0 0 254 0 255";

namespace key = ctl::plainKey;
namespace plain = ctl::plain;
namespace framed = ctl::framed;
const std::vector<std::uint8_t> kTwoBytes{0x12, 0x34};

const std::vector<Row> kRows = {
    // ---- link operations ------------------------------------------------------------------
    {"SyncCmd", kPlain, plain::kSync, kPlainCommand, [](Rig& r) { r.link().SyncCmd(); }},
    {"RdByte", kPlain, plain::kRdByte, kPlainSequence,
     [](Rig& r) {
       std::uint8_t v = 0;
       r.link().RdByte(0x60, v);
     }},
    {"RdDWord", kPlain, plain::kRdByte, kPlainSequence,
     [](Rig& r) {
       qint32 v = 0;
       r.link().RdDWord(0x60, v);
     }},
    {"WrDWord", kPlain, plain::kWrByte, kPlainSequence, [](Rig& r) { r.link().WrDWord(0x70, -2); }},
    {"RdBlock", kPlain, plain::kRdBlock, kPlainBlock, [](Rig& r) { r.link().RdBlock(4, 0x70); }},
    {"WrBlock", kPlain, plain::kWrBlock, kPlainBlock,
     [](Rig& r) { r.link().WrBlock(0x70, kTwoBytes); }},
    {"SendKeyCode", kPlain, key::kTTN, kPlainCommand,
     [](Rig& r) { r.link().SendKeyCode(key::kTTN); }},
    {"SendRamOutKey", kPlain, plain::kSync, kRamOutSteps, [](Rig& r) { r.link().SendRamOutKey(); }},
    {"SetRegBits", kFramed, framed::kSetRegBits, kNotJudged,
     [](Rig& r) { r.link().SetRegBits(5, 0x04, 0xFF); }},
    {"WrRam", kFramed, framed::kWrRam, kNotJudged, [](Rig& r) { r.link().WrRam(0xDC, kTwoBytes); }},
    {"RdRam", kFramed, framed::kRdRam, kNotJudged, [](Rig& r) { r.link().RdRam(0x60, 16); }},
    {"WrProgMem", kFramed, framed::kWrProgMem, kNotJudged,
     [](Rig& r) { r.link().WrProgMem(0x00, kTwoBytes); }},
    {"RdProgMem", kFramed, framed::kRdProgMem, kNotJudged,
     [](Rig& r) { r.link().RdProgMem(0, 60); }},
    {"SendPanelKey", kFramed, framed::kPanelKey, kNotJudged,
     [](Rig& r) { r.link().SendPanelKey(ctl::panelKey::kProg); }},
    {"RomPageCmd9", kFramed, framed::kRomPage9, kNotJudged,
     [](Rig& r) { r.link().RomPageCmd9(0x7C00); }},
    {"RdRom", kFramed, framed::kRdRom, kNotJudged, [](Rig& r) { r.link().RdRom(0x7C00, 64); }},
    {"WrRawByte", kRaw, plain::kSync, kNotJudged, [](Rig& r) { r.link().WrRawByte(plain::kSync); }},
    {"RdStreamBlock", kRaw, plain::kSync, kStreamSync,
     [](Rig& r) {
       r.link().WrRawByte(plain::kSync);
       r.link().RdStreamBlock(2);
     }},
    // ---- the main window ------------------------------------------------------------------
    {"panel read-out (Обновить)", kFramed, framed::kRdRam, kNotJudged,
     [](Rig& r) { r.main("Button33"); }},
    {"panel key Прог.", kFramed, framed::kPanelKey, kNotJudged,
     [](Rig& r) { r.main("ShapeProgTop"); }},
    {"key code t/T/N", kPlain, key::kTTN, kPlainCommand, [](Rig& r) { r.main("Button5"); }},
    {"RAM output key", kPlain, plain::kSync, kRamOutSteps, [](Rig& r) { r.main("Button7"); },
     [](Rig& r) { r.unhide("Button7"); }},
    {"read coefficients", kPlain, plain::kSync, kPlainSequence, [](Rig& r) { r.main("Button12"); }},
    {"write coefficients", kPlain, plain::kSync, kPlainSequence, [](Rig& r) { r.main("Button16"); },
     [](Rig& r) { r.main("Button12"); }},
    {"read set temperature", kPlain, plain::kSync, kPlainSequence,
     [](Rig& r) { r.main("Button13"); }},
    {"write set temperature", kPlain, plain::kSync, kPlainSequence,
     [](Rig& r) { r.main("Button14"); }, [](Rig& r) { r.main("Button13"); }},
    {"read thermocouple", kPlain, plain::kSync, kPlainSequence, [](Rig& r) { r.main("Button15"); }},
    {"read RAM bytes", kFramed, framed::kRdRam, kNotJudged, [](Rig& r) { r.main("Button24"); },
     [](Rig& r) {
       r.type("EditAdrRdByte", "$60");
       r.type("EditNumRdByte", "4");
     }},
    {"typed read (dword)", kPlain, plain::kRdByte, kPlainSequence,
     [](Rig& r) { r.main("Button10"); },
     [](Rig& r) {
       r.unhide("Button10");
       r.type("Edit22", "$60");
     }},
    {"raw byte write", kRaw, plain::kSync, kNotJudged, [](Rig& r) { r.main("Button19"); },
     [](Rig& r) { r.type("Edit26", "64"); }},
    {"raw byte read", kRaw, plain::kSync, kReadsOnly, [](Rig& r) { r.main("Button20"); }},
    // ---- the secondary windows ------------------------------------------------------------
    {"program table read", kPlain, plain::kSync, kPlainSequence,
     [](Rig& r) { r.in<TFormVvodProg>("Button1"); }},
    {"program table write", kPlain, plain::kSync, kPlainSequence,
     [](Rig& r) { r.in<TFormVvodProg>("Button2"); },
     [](Rig& r) { r.in<TFormVvodProg>("Button1"); }},
    {"program editor load", kFramed, framed::kRdProgMem, kNotJudged,
     [](Rig& r) { r.editorStep(Qt::Key_Down); }, [](Rig& r) { r.editorAt(0); }},
    // Program 2 is edited, then the step up asks to save it (Ok) before it
    // loads program 1.
    {"program editor save", kFramed, framed::kWrProgMem, kNotJudged,
     [](Rig& r) {
       const qsizetype asked = r.h.messages.asked.size();
       r.h.messages.answers = {true};
       r.editorStep(Qt::Key_Up);
       EXPECT_EQ(r.h.messages.asked.size(), asked + 1) << "the save was asked for";
     },
     [](Rig& r) {
       r.editorAt(1);
       r.editorEdit();
     }},
    {"coefficient group read", kPlain, plain::kSync, kPlainSequence,
     [](Rig& r) { r.in<TFormIzmKoef>("Button1"); }},
    {"coefficient group write", kPlain, plain::kSync, kPlainSequence,
     [](Rig& r) { r.in<TFormIzmKoef>("Button2"); }, [](Rig& r) { r.in<TFormIzmKoef>("Button1"); }},
    {"additional parameters read", kFramed, framed::kRdRam, kNotJudged,
     [](Rig& r) { r.in<TFormDopParam>("Button6"); }},
    {"additional parameters write", kFramed, framed::kWrRam, kNotJudged,
     [](Rig& r) { r.in<TFormDopParam>("Button7"); },
     [](Rig& r) { r.in<TFormDopParam>("Button6"); }},
    {"RAM inspector indication", kFramed, framed::kRdRam, kNotJudged,
     [](Rig& r) { r.in<TFormDopRAM>("Button6"); }},
    {"RAM inspector register", kFramed, framed::kRdRam, kNotJudged,
     [](Rig& r) { r.in<TFormDopRAM>("Button2"); }},
    // ---- the PID work window and its run ----------------------------------------------
    {"PID stage read", kFramed, framed::kRdRam, kNotJudged,
     [](Rig& r) { r.in<TFormRabPID>("Button4"); }},
    {"PID coefficient read", kFramed, framed::kRdRam, kNotJudged,
     [](Rig& r) { r.in<TFormRabPID>("Button2"); }},
    {"amplifier coefficient read", kFramed, framed::kRdRam, kNotJudged,
     [](Rig& r) { r.in<TFormRabPID>("Button5"); }},
    {"amplifier coefficient write", kFramed, framed::kWrRam, kNotJudged,
     [](Rig& r) { r.in<TFormRabPID>("Button6"); },
     [](Rig& r) {
       r.typeIn<TFormRabPID>("EditTecKUs", QStringLiteral("2") + decimalSeparator() + u'5');
     }},
    // Вкл нагрева, then Выкл нагрева and the TimerPid tick that carries it out.
    {"PID run start and stop", kFramed, framed::kSetRegBits, kNotJudged,
     [](Rig& r) {
       r.in<TFormRabPID>("Button1");
       r.in<TFormRabPID>("Button3");
       r.h.form1().parts().pidRun().tick();
     },
     [](Rig& r) { r.controllerStopped(); }},
    {"telemetry stream (P/B)", kRaw, key::kPB, kStream, [](Rig& r) { r.streamOnce(); },
     [](Rig& r) { r.ramOutputOn(); }},
    {"RAM inspector ROM", kFramed, framed::kRdRom, kNotJudged,
     [](Rig& r) { r.in<TFormDopRAM>("Button4"); },
     [](Rig& r) {
       r.typeIn<TFormDopRAM>("EditAdrRdByte", "$7C00");
       r.typeIn<TFormDopRAM>("EditNumRdByte", "16");
     }},
};

// The longest a single action may take in virtual time under any fault: a
// dead line costs one time-out per command (or per plain step), not one per
// byte. The longest row is the program table: a sync, 50 blocks and a sync,
// 52 commands of one 6 s time-out each (314 s); a time-out per byte would be
// several times that.
constexpr qint64 kBoundMs = 6 * 60 * 1000;

QStringList expectedOf(const Row& row) {
  return QString::fromLatin1(row.expected).split(u' ');
}

class FaultMatrix : public ::testing::TestWithParam<std::size_t> {};

TEST(FaultMatrixSize, EveryRowNamesEveryFault) {
  for (const Row& row : kRows)
    EXPECT_EQ(expectedOf(row).size(), qsizetype(kFaults.size())) << row.name;
  std::printf("fault matrix: %zu actions x %zu faults = %zu cells\n", kRows.size(), kFaults.size(),
              kRows.size() * kFaults.size());
}

TEST_P(FaultMatrix, EndsWithItsStatusInBoundedTimeAndRecovers) {
  const Row& row = kRows[GetParam()];
  const QStringList expected = expectedOf(row);
  Rig r;
  qint64 longest = 0;
  QStringList seen;
  for (std::size_t f = 0; f < kFaults.size(); ++f) {
    SCOPED_TRACE(std::string(row.name) + " / " + kFaults[f].name);
    if (row.prepare) row.prepare(r);
    sim::Faults faults;
    kFaults[f].arm(faults, row.firstCode);
    r.h.ctrl().setFaults(faults);
    const int shownBefore = int(r.h.messages.shown.size());
    const qint64 started = r.h.clock().nowMs();
    try {
      row.action(r);
    } catch (const std::exception& escaped) {
      ADD_FAILURE() << "escaped: " << escaped.what();
    }
    const qint64 took = r.h.clock().nowMs() - started;
    longest = std::max(longest, took);
    EXPECT_LE(took, kBoundMs);
    const QString want = expected[qsizetype(f)];
    const int code = r.link().status().code;
    seen << QString::number(code);
    if (want != QStringLiteral("-")) {
      EXPECT_TRUE(want.split(u'|').contains(QString::number(code)))
          << "status " << code << " (" << r.link().status().text.toStdString() << "), expected "
          << want.toStdString();
    }
    // A frame whose command byte went unanswered was cut there.
    if (row.layer == kFramed && int(f) == kSilent) {
      EXPECT_FALSE(r.link().lastFramedAnswered());
    }
    EXPECT_FALSE(r.link().busy());
    // What the exchange left to show afterwards (a lost port) is shown now.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QStringList told =
        r.h.messages.shown.mid(shownBefore).filter(QString::fromUtf8("потерян"));
    EXPECT_EQ(told.size(), int(f) == kLineLost ? 1 : 0) << "the lost port is told once";

    // The fault is lifted; late and stray bytes have arrived and are drained,
    // as the port's open does. A lost line comes back by itself: the next
    // tick of the console's line watch opens the device again and says so.
    r.h.ctrl().setFaults(sim::Faults{});
    r.h.clock().advance(15000);
    r.link().DrainPort();
    const int shownBeforeWatch = int(r.h.messages.shown.size());
    r.h.console().watchLine();
    QCoreApplication::processEvents();
    const QStringList back =
        r.h.messages.shown.mid(shownBeforeWatch).filter(QString::fromUtf8("снова открыт"));
    EXPECT_EQ(back.size(), int(f) == kLineLost ? 1 : 0) << "the return is told once";
    EXPECT_TRUE(r.link().portOpen());
    r.h.messages.shown = r.h.messages.shown.mid(0, shownBefore);
    r.h.messages.answers.clear();
    if (row.prepare) row.prepare(r);
    row.action(r);
    EXPECT_EQ(r.link().status().code, 0) << "the next action after the fault";
    if (row.layer == kFramed) {
      EXPECT_TRUE(r.link().lastFramedAnswered());
    }
    EXPECT_EQ(r.link().FlagLinkBreak(), 0);
    EXPECT_EQ(r.h.messages.shown.size(), shownBefore) << r.h.messages.shown.join('|').toStdString();
  }
  std::printf("%s: statuses %s, longest cell %lld ms of virtual time\n", row.name,
              qPrintable(seen.join(u' ')), (long long)longest);
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::Range<std::size_t>(0, kRows.size()),
                         [](const ::testing::TestParamInfo<std::size_t>& row) {
                           QString name = QString::fromUtf8(kRows[row.param].name);
                           QString id = QStringLiteral("r%1_").arg(row.param, 2, 10, QChar('0'));
                           for (QChar c : name)
                             if (c.isLetterOrNumber() && c.unicode() < 128) id += c;
                           return id.toStdString();
                         });

}  // namespace
}  // namespace calorix
