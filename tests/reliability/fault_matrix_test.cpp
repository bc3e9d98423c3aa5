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

#include <algorithm>
#include <cstdio>
#include <exception>
#include <functional>
#include <vector>

#include "app/TForm2.h"
#include "core/ControllerMap.h"
#include "programs/TFormDataDide.h"
#include "programs/TFormVvodProg.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/TestApplication.h"
#include "tools/TFormDopParam.h"
#include "tools/TFormDopRAM.h"
#include "tools/TFormIzmKoef.h"

namespace calorix {
namespace {

using testing::ConsoleHarness;

// The faults, in the order of the expected-status strings of the rows.
struct Fault {
  const char* name;
  std::function<void(sim::Faults&, std::uint8_t firstCode)> arm;
};
const std::vector<Fault> kFaults = {
    {"silent", [](sim::Faults& f, std::uint8_t) { f.silent = true; }},
    {"refused 0x81", [](sim::Faults& f, std::uint8_t code) { f.refuseCommand = code; }},
    {"wrong echo",
     [](sim::Faults& f, std::uint8_t) {
       f.replaceAt = 0;
       f.replaceWith = 0x55;
     }},
    {"dropped byte", [](sim::Faults& f, std::uint8_t) { f.dropAt = 0; }},
    {"delayed past the interval",
     [](sim::Faults& f, std::uint8_t) {
       f.delayAt = 3;
       f.delayMs = 2500;
     }},
    {"short block", [](sim::Faults& f, std::uint8_t) { f.shortBlockBytes = 1; }},
    {"keeps sending", [](sim::Faults& f, std::uint8_t) { f.keepSending = true; }},
    {"line lost", [](sim::Faults& f, std::uint8_t) { f.portGone = true; }},
};
const int kLineLost = 7;

// The whole console in view mode 4 with every window shown.
struct Rig {
  Rig() {
    h.start(QStringLiteral("[Vid prog]\r\nVidProg=4\r\n"));
    h.password = kAccessPassword;
    h.show();
    for (const auto& w : h.console().windows())
      if (w.get() != &h.form1() && !dynamic_cast<TForm2*>(w.get())) w->show();
  }
  QApplication& app = testing::testApplication();
  ConsoleHarness h;
  Link& link() { return h.link(); }

  // A designed control of any window, clicked as the mouse does it (press and
  // release: buttons acting on either see theirs).
  void click(QWidget& window, const char* name) {
    auto* target = window.findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(target, nullptr) << name;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
  }
  void main(const char* name) { click(h.form1(), name); }
  void type(const char* field, const QString& text) {
    auto* edit = h.form1().findChild<QLineEdit*>(QString::fromLatin1(field));
    ASSERT_NE(edit, nullptr) << field;
    edit->setText(text);
  }
  template <class W>
  void in(const char* name) {
    click(h.console().window<W>(), name);
  }
  void editorStep(Qt::Key key) {
    auto* combo = h.console().window<TFormDataDide>().findChild<QComboBox*>("ComboBox1");
    QTest::keyClick(combo, key);
  }
};

enum Layer { kPlain, kFramed, kRaw };

struct Row {
  const char* name;
  Layer layer;
  std::uint8_t firstCode;  // the command byte that "refused 0x81" refuses
  // Expected link status per fault, in kFaults order. "*": any code of the
  // plain table but 255 (0, 1, 2, 254: which one depends on the byte the
  // fault hits); "-": the status is left as it was, nothing is judged.
  const char* expected;
  std::function<void(Rig&)> action;
  std::function<void(Rig&)> prepare = {};  // runs fault-free before each cell
};

namespace key = ctl::plainKey;
const std::vector<std::uint8_t> kTwoBytes{0x12, 0x34};

const std::vector<Row> kRows = {
    // ---- link operations ------------------------------------------------------------------
    {"SyncCmd", kPlain, 0x40, "1 * * * * * * 255", [](Rig& r) { r.link().SyncCmd(); }},
    {"RdByte", kPlain, 0x03, "1 * * * * * * 255",
     [](Rig& r) {
       std::uint8_t v = 0;
       r.link().RdByte(0x60, v);
     }},
    {"RdDWord", kPlain, 0x03, "1 * * * * * * 255",
     [](Rig& r) {
       qint32 v = 0;
       r.link().RdDWord(0x60, v);
     }},
    {"WrDWord", kPlain, 0x02, "1 * * * * * * 255", [](Rig& r) { r.link().WrDWord(0x70, -2); }},
    {"RdBlock", kPlain, 0x05, "1 * * * * * * 255", [](Rig& r) { r.link().RdBlock(4, 0x70); }},
    {"WrBlock", kPlain, 0x04, "1 * * * * * * 255",
     [](Rig& r) { r.link().WrBlock(0x70, kTwoBytes); }},
    {"SendKeyCode", kPlain, key::kTTN, "1 * * * * * * 255",
     [](Rig& r) { r.link().SendKeyCode(key::kTTN); }},
    {"SendRamOutKey", kPlain, 0x40, "1 * * * * * * 255", [](Rig& r) { r.link().SendRamOutKey(); }},
    {"SetRegBits", kFramed, 0x01, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.link().SetRegBits(5, 0x04, 0xFF); }},
    {"WrRam", kFramed, 0x04, "0 0 0 0 0 0 0 255", [](Rig& r) { r.link().WrRam(0xDC, kTwoBytes); }},
    {"RdRam", kFramed, 0x05, "0 0 0 0 0 0 0 255", [](Rig& r) { r.link().RdRam(0x60, 16); }},
    {"WrProgMem", kFramed, 0x06, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.link().WrProgMem(0x00, kTwoBytes); }},
    {"RdProgMem", kFramed, 0x07, "0 0 0 0 0 0 0 255", [](Rig& r) { r.link().RdProgMem(0, 60); }},
    {"SendPanelKey", kFramed, 0x08, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.link().SendPanelKey(ctl::panelKey::kProg); }},
    {"RomPageCmd9", kFramed, 0x09, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.link().RomPageCmd9(0x7C00); }},
    {"RdRom", kFramed, 0x0C, "0 0 0 0 0 0 0 255", [](Rig& r) { r.link().RdRom(0x7C00, 64); }},
    {"WrRawByte", kRaw, 0x00, "0 0 0 0 0 0 0 255", [](Rig& r) { r.link().WrRawByte(0x40); }},
    {"RdStreamBlock", kRaw, 0x00, "- - - - - - - -",
     [](Rig& r) {
       r.link().WrRawByte(0x40);
       r.link().RdStreamBlock(2);
     }},
    // ---- the main window ------------------------------------------------------------------
    {"panel read-out (Обновить)", kFramed, 0x05, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.main("Button33"); }},
    {"panel key Прог.", kFramed, 0x08, "0 0 0 0 0 0 0 255", [](Rig& r) { r.main("ShapeProgTop"); }},
    {"key code t/T/N", kPlain, key::kTTN, "1 * * * * * * 255", [](Rig& r) { r.main("Button5"); }},
    {"read coefficients", kPlain, 0x40, "1 * * * * * * 255", [](Rig& r) { r.main("Button12"); }},
    {"write coefficients", kPlain, 0x40, "1 * * * * * * 255", [](Rig& r) { r.main("Button16"); },
     [](Rig& r) { r.main("Button12"); }},
    {"read set temperature", kPlain, 0x40, "1 * * * * * * 255", [](Rig& r) { r.main("Button13"); }},
    {"write set temperature", kPlain, 0x40, "1 * * * * * * 255", [](Rig& r) { r.main("Button14"); },
     [](Rig& r) { r.main("Button13"); }},
    {"read thermocouple", kPlain, 0x40, "1 * * * * * * 255", [](Rig& r) { r.main("Button15"); }},
    {"read RAM bytes", kFramed, 0x05, "0 0 0 0 0 0 0 255", [](Rig& r) { r.main("Button24"); },
     [](Rig& r) {
       r.type("EditAdrRdByte", "$60");
       r.type("EditNumRdByte", "4");
     }},
    {"program editor load", kFramed, 0x07, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.editorStep(Qt::Key_Down); }},
};

// Rows whose fields or answers are not yet set up for every fault (they
// need an address typed, a grid read or an answer queued first): not run
// until they are, so that the table above stays honest.
[[maybe_unused]] const std::vector<Row> kRowsToSetUp = {
    {"typed read (dword)", kPlain, 0x03, "1 * * * * * * 255", [](Rig& r) { r.main("Button10"); },
     [](Rig& r) { r.type("Edit18", "$60"); }},
    {"raw byte write", kRaw, 0x00, "0 0 0 0 0 0 0 255", [](Rig& r) { r.main("Button19"); }},
    // ---- the secondary windows ------------------------------------------------------------
    {"program table read", kPlain, 0x40, "1 * * * * * * 255",
     [](Rig& r) { r.in<TFormVvodProg>("Button1"); }},
    {"program table write", kPlain, 0x40, "1 * * * * * * 255",
     [](Rig& r) { r.in<TFormVvodProg>("Button2"); },
     [](Rig& r) { r.in<TFormVvodProg>("Button1"); }},
    {"program editor save", kFramed, 0x06, "0 0 0 0 0 0 0 255",
     [](Rig& r) {
       r.h.messages.answers = {true};
       r.editorStep(Qt::Key_Up);
     },
     [](Rig& r) {
       auto& editor = r.h.console().window<TFormDataDide>();
       auto* grid = editor.findChild<QTableWidget*>("StringGrid1");
       grid->item(2, 1)->setText(QString::number(100 + grid->item(2, 1)->text().toInt() % 50));
     }},
    {"coefficient group read", kPlain, 0x40, "1 * * * * * * 255",
     [](Rig& r) { r.in<TFormIzmKoef>("Button1"); }},
    {"coefficient group write", kPlain, 0x40, "1 * * * * * * 255",
     [](Rig& r) { r.in<TFormIzmKoef>("Button2"); }, [](Rig& r) { r.in<TFormIzmKoef>("Button1"); }},
    {"additional parameters read", kFramed, 0x05, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.in<TFormDopParam>("Button6"); }},
    {"additional parameters write", kFramed, 0x04, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.in<TFormDopParam>("Button7"); },
     [](Rig& r) { r.in<TFormDopParam>("Button6"); }},
    {"RAM inspector indication", kFramed, 0x05, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.in<TFormDopRAM>("Button6"); }},
    {"RAM inspector register", kFramed, 0x05, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.in<TFormDopRAM>("Button2"); }},
    {"RAM inspector ROM", kFramed, 0x0C, "0 0 0 0 0 0 0 255",
     [](Rig& r) { r.in<TFormDopRAM>("Button4"); }},
};

// The longest a single action may take in virtual time under any fault: a
// dead line costs one time-out per command (or per plain step), not one per byte.
constexpr qint64 kBoundMs = 5 * 60 * 1000;

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
    if (want == QStringLiteral("*"))
      EXPECT_TRUE(code == 0 || code == 1 || code == 2 || code == 254)
          << code << " " << r.link().status().text.toStdString();
    else if (want != QStringLiteral("-"))
      EXPECT_EQ(QString::number(code), want) << r.link().status().text.toStdString();
    EXPECT_FALSE(r.link().busy());
    // What the exchange left to show afterwards (a lost port) is shown now.
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    const QStringList told =
        r.h.messages.shown.mid(shownBefore).filter(QString::fromUtf8("потерян"));
    EXPECT_EQ(told.size(), int(f) == kLineLost ? 1 : 0) << "the lost port is told once";

    // The fault is lifted; late and stray bytes have arrived and are drained,
    // as the port's open does. A lost line comes back only with a new start
    // of the console (nothing reopens a port), which LoadSettings stands for.
    r.h.ctrl().setFaults(sim::Faults{});
    r.h.clock().advance(15000);
    r.link().DrainPort();
    if (int(f) == kLineLost) r.link().LoadSettings();
    r.h.messages.shown = r.h.messages.shown.mid(0, shownBefore);
    r.h.messages.answers.clear();
    if (row.prepare) row.prepare(r);
    row.action(r);
    EXPECT_EQ(r.link().status().code, 0) << "the next action after the fault";
    if (row.layer == kFramed) EXPECT_TRUE(r.link().lastFramedAnswered());
    EXPECT_EQ(r.link().FlagLinkBreak(), 0);
    EXPECT_EQ(r.h.messages.shown.size(), shownBefore) << r.h.messages.shown.join('|').toStdString();
  }
  std::printf("%s: statuses %s, longest cell %lld ms of virtual time\n", row.name,
              qPrintable(seen.join(u' ')), (long long)longest);
}

INSTANTIATE_TEST_SUITE_P(Rows, FaultMatrix, ::testing::Range<std::size_t>(0, kRows.size()),
                         [](const ::testing::TestParamInfo<std::size_t>& info) {
                           QString name = QString::fromUtf8(kRows[info.param].name);
                           QString id = QStringLiteral("r%1_").arg(info.param, 2, 10, QChar('0'));
                           for (QChar c : name)
                             if (c.isLetterOrNumber() && c.unicode() < 128) id += c;
                           return id.toStdString();
                         });

}  // namespace
}  // namespace calorix
