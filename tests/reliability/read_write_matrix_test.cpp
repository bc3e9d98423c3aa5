// The read-then-write matrix: every window that writes into the controller
// what it showed from a read, with a fault during the read and then the
// write on a line that is whole again. Afterwards every byte of the
// controller's memory is what it held before or what the operator typed:
// nothing that a failed read left in a field goes into the controller. A row
// is one write path, a column one fault during its read.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

#include <cstdio>
#include <functional>
#include <span>
#include <vector>

#include "core/NumberText.h"
#include "pid/TFormRabPID.h"
#include "programs/TFormDataDide.h"
#include "programs/TFormVvodProg.h"
#include "tests/reliability/fault_rig.h"
#include "tools/TFormDopParam.h"
#include "tools/TFormDopRAM.h"
#include "tools/TFormIzmKoef.h"
#include "ui/ReadIntegrity.h"

namespace calorix {
namespace {

using namespace matrix;
using Bytes = std::vector<std::uint8_t>;
using sim::ControllerMemory;

// Stretches of the controller's memories, taken as one image in order.
struct Region {
  std::span<std::uint8_t> (*memory)(ControllerMemory&);
  std::size_t from;
  std::size_t size;
};
std::span<std::uint8_t> ram(ControllerMemory& m) {
  return m.ram;
}
std::span<std::uint8_t> progMem(ControllerMemory& m) {
  return m.progMem;
}
std::span<std::uint8_t> rom(ControllerMemory& m) {
  return m.rom;
}
std::span<std::uint8_t> blockMem(ControllerMemory& m) {
  return m.blockMem;
}
Bytes imageOf(Rig& r, const std::vector<Region>& regions) {
  Bytes image;
  for (const Region& region : regions) {
    const auto part = region.memory(r.h.ctrl().memory()).subspan(region.from, region.size);
    image.insert(image.end(), part.begin(), part.end());
  }
  return image;
}
void putImage(Rig& r, const std::vector<Region>& regions, const Bytes& image) {
  std::size_t at = 0;
  for (const Region& region : regions) {
    const auto part = region.memory(r.h.ctrl().memory()).subspan(region.from, region.size);
    std::copy_n(image.begin() + std::ptrdiff_t(at), region.size, part.begin());
    at += region.size;
  }
}

void putLe(Bytes& image, std::size_t at, std::uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) image[at + std::size_t(i)] = std::uint8_t(value >> (8 * i));
}

// One write path: what its region holds before, the read, what the operator
// then types (and where that lands in the region's image), the write.
struct Path {
  const char* name;
  std::vector<Region> regions;
  std::function<void(Bytes&)> seed;        // the contents before, by offset in the region
  std::function<void(Rig&)> prepare;       // fault-free, before the read
  std::function<void(Rig&)> read;          // under the fault
  std::function<void(Rig&, Bytes&)> type;  // the typing, and its bytes in the image
  std::function<void(Rig&)> write;         // on a whole line
  // The output byte of the read that the mid-read faults hit; 0: half of
  // what the read sends on a whole line.
  int faultAt = 0;
  // The window says so when its write goes unanswered.
  bool tellsFailedWrite = false;
};

// The faults during the read. "keeps sending" is not among them: the
// framed commands' answers are not judged, so a controller that fills the
// line with bytes cannot be told from one that answers.
struct ReadFault {
  const char* name;
  std::function<void(sim::Faults&, int mid)> arm;  // the first arms nothing
};
const std::vector<ReadFault> kReadFaults = {
    {"none", [](sim::Faults&, int) {}},
    {"silent", [](sim::Faults& f, int) { f.silent = true; }},
    {"reply cut mid-read",
     [](sim::Faults& f, int mid) {
       f.muteAt = mid;
       f.muteMs = 1000;
     }},
    {"line gone from mid-read",
     [](sim::Faults& f, int mid) {
       f.muteAt = mid;
       f.muteMs = 24 * 3600 * 1000;
     }},
    {"byte dropped mid-read", [](sim::Faults& f, int mid) { f.dropAt = mid; }},
    {"stalled 8 s mid-read",
     [](sim::Faults& f, int mid) {
       f.delayAt = mid;
       f.delayMs = 8000;
     }},
    {"short block", [](sim::Faults& f, int) { f.shortBlockBytes = 1; }},
};

QTableWidget* tableGrid(Rig& r) {
  return r.h.console().window<TFormVvodProg>().findChild<QTableWidget*>("StringGridRdProg");
}
QTableWidget* editorGrid(Rig& r) {
  return r.h.console().window<TFormDataDide>().findChild<QTableWidget*>("StringGrid1");
}
// The program editor's box set as the operator picks an item (and answers
// "Сохранить изменения?" with OK).
void choose(Rig& r, int program) {
  r.h.messages.answers = {true};
  QComboBox* box = r.editorCombo();
  box->setCurrentIndex(program - 1);
  emit box->activated(program - 1);
}
// The editor's stage 1 temperature typed; its bytes (2 and 3 of the stage
// record, the speed kept) in the image of the program that the grid holds.
void typeStage1Temperature(Rig& r, Bytes& image, std::size_t programAt) {
  const int temperature = 1234;
  editorGrid(r)->item(2, 1)->setText(QString::number(temperature));
  image[programAt + 2] = std::uint8_t(temperature);
  image[programAt + 3] = std::uint8_t((image[programAt + 3] & 0xF0) | (temperature >> 8));
}

const std::vector<Path> kPaths = {
    {"program table",
     {{blockMem, ctl::block::kProgramTable, kTableRecords* kTableRecordBytes}},
     [](Bytes& b) {
       for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::uint8_t(i * 7 + 3);
     },
     {},
     [](Rig& r) { r.in<TFormVvodProg>("Button1"); },
     [](Rig& r, Bytes& image) {
       tableGrid(r)->item(3, 1)->setText("4242");
       putLe(image, 2 * kTableRecordBytes, 4242, 2);
     },
     [](Rig& r) { r.in<TFormVvodProg>("Button2"); },
     0,
     true},
    // Program 2 is loaded over program 1; the edit is saved when program 3 is
    // chosen, into the program the grid holds (1 when the load failed).
    {"program editor, program memory",
     {{progMem, 0, 3 * kProgramBytes}},
     [](Bytes& b) {
       for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::uint8_t((i * 13 + 1) & 0x3F);
     },
     [](Rig& r) { choose(r, 1); },
     [](Rig& r) { choose(r, 2); },
     [](Rig& r, Bytes& image) {
       const int held = r.h.console().window<TFormDataDide>().currentProgram();
       typeStage1Temperature(r, image, std::size_t(kProgramBytes * (held - 1)));
     },
     [](Rig& r) { choose(r, 3); },
     37,
     true},
    // Program 19 over 18: saved through their shared ROM page.
    {"program editor, ROM page",
     {{rom, ctl::program::kRomBase, 2 * ctl::program::kRomPageBytes}},
     [](Bytes& b) {
       for (std::size_t i = 0; i < b.size(); ++i) b[i] = std::uint8_t((i * 11 + 5) & 0x3F);
     },
     [](Rig& r) { choose(r, 18); },
     [](Rig& r) { choose(r, 19); },
     [](Rig& r, Bytes& image) {
       const int held = r.h.console().window<TFormDataDide>().currentProgram();
       typeStage1Temperature(r, image, std::size_t(ctl::program::kRomStride * (held - 18)));
     },
     [](Rig& r) { choose(r, 20); },
     37,
     true},
    {"coefficient group 1",
     {{blockMem, ctl::block::kAmplifierA, 8}},
     [](Bytes& b) {
       putLe(b, 0, 3 * 65536, 4);
       putLe(b, 4, 5 * 65536, 4);
     },
     {},
     [](Rig& r) { r.in<TFormIzmKoef>("Button1"); },
     [](Rig& r, Bytes& image) {
       r.typeIn<TFormIzmKoef>("EditIzmTermA", "7");
       putLe(image, 0, 7 * 65536, 4);
     },
     [](Rig& r) { r.in<TFormIzmKoef>("Button2"); },
     0,
     true},
    // Twelve magnitudes and their sign-flag word.
    {"coefficient group 4",
     {{blockMem, ctl::block::kPidCubics, 4 * ctl::block::kPidCubicWords + 2}},
     [](Bytes& b) {
       for (int i = 0; i < 12; ++i)
         putLe(b, std::size_t(4 * i), 1234567u * std::uint32_t(i + 1), 4);
       b[48] = 0x0A;  // BP and DP negative
       b[49] = 0x04;  // CI negative
     },
     {},
     [](Rig& r) { r.in<TFormIzmKoef>("Button7"); },
     [](Rig& r, Bytes& image) {
       r.typeIn<TFormIzmKoef>("EditAP", "0.5");
       putLe(image, 0, 50000000, 4);
     },
     [](Rig& r) { r.in<TFormIzmKoef>("Button8"); },
     0,
     true},
    {"additional parameters",
     {{ram, ctl::ram::kStabTime, 4}, {ram, ctl::ram::kSetTemperature, 2}},
     [](Bytes& b) {
       putLe(b, 0, 45, 2);   // stabilisation time
       putLe(b, 2, 5, 2);    // heating speed
       putLe(b, 4, 300, 2);  // set temperature
     },
     {},
     [](Rig& r) { r.in<TFormDopParam>("Button6"); },
     [](Rig& r, Bytes& image) {
       r.typeIn<TFormDopParam>("EditZadSpeedEtap", "9");
       putLe(image, 2, 9, 2);
     },
     [](Rig& r) { r.in<TFormDopParam>("Button7"); },
     0,
     true},
    // P, I and D exact in four decimals, their sign flags clear.
    {"service area coefficients",
     {{ram, ctl::ram::kPK, 12}, {ram, ctl::ram::kSigns, 1}},
     [](Bytes& b) {
       putLe(b, 0, 98304, 4);   // P 1.5
       putLe(b, 4, 16384, 4);   // I 0.25
       putLe(b, 8, 135168, 4);  // D 2.0625
       b[12] &= std::uint8_t(~(ctl::sign::kPK | ctl::sign::kIK | ctl::sign::kDK));
     },
     {},
     [](Rig& r) { r.main("Button12"); },
     [](Rig& r, Bytes& image) {
       r.type("EditDK", "3.25");
       putLe(image, 8, 212992, 4);
     },
     [](Rig& r) { r.main("Button16"); }},
    // Nothing typed: the write takes back what the read showed.
    {"service area set temperature",
     {{ram, ctl::ram::kSetTemperature, 4}},
     [](Bytes& b) { putLe(b, 0, 500, 4); },
     {},
     [](Rig& r) { r.main("Button13"); },
     [](Rig&, Bytes&) {},
     [](Rig& r) { r.main("Button14"); }},
    {"PID window amplifier coefficient",
     {{ram, ctl::ram::kAmplifierGain, 4}},
     [](Bytes& b) { putLe(b, 0, 163840, 4); },  // 2.5
     {},
     [](Rig& r) { r.in<TFormRabPID>("Button5"); },
     [](Rig&, Bytes&) {},
     [](Rig& r) { r.in<TFormRabPID>("Button6"); }},
    // The bit write carries the chosen bits only: the controller keeps the rest.
    {"RAM inspector register bits",
     {{ram, 20, 1}},
     [](Bytes& b) { b[0] = 0x5A; },
     [](Rig& r) {
       auto& window = r.h.console().window<TFormDopRAM>();
       window.findChild<QComboBox*>("ComboBoxR")->setCurrentIndex(20);
       window.findChild<QComboBox*>("ComboBox0")->setCurrentIndex(1);  // "1"
     },
     [](Rig& r) { r.in<TFormDopRAM>("Button2"); },
     [](Rig&, Bytes& image) { image[0] |= 0x01; },
     [](Rig& r) { r.in<TFormDopRAM>("Button1"); }},
};

// How many output bytes the read sends on a whole line.
int readOutput(Rig& r, const Path& path) {
  if (path.prepare) path.prepare(r);
  const std::size_t before = r.h.ctrl().sent().size();
  path.read(r);
  return int(r.h.ctrl().sent().size() - before);
}

TEST(ReadWriteMatrixSize, Printed) {
  std::printf("read-then-write matrix: %zu write paths x %zu faults during the read = %zu cells\n",
              kPaths.size(), kReadFaults.size(), kPaths.size() * kReadFaults.size());
}

class ReadWriteMatrix : public ::testing::TestWithParam<std::size_t> {};

TEST_P(ReadWriteMatrix, TheControllerKeepsItsBytesOrTakesWhatWasTyped) {
  const Path& path = kPaths[GetParam()];
  Rig r;
  const auto seed = [&] {
    Bytes contents = imageOf(r, path.regions);
    path.seed(contents);
    putImage(r, path.regions, contents);
    return contents;
  };
  seed();
  const int mid = path.faultAt > 0 ? path.faultAt : readOutput(r, path) / 2;
  ASSERT_GT(mid, 0);
  QStringList outcomes;
  for (const ReadFault& fault : kReadFaults) {
    SCOPED_TRACE(std::string(path.name) + " / " + fault.name);
    const bool wholeLine = &fault == &kReadFaults.front();
    const Bytes before = seed();
    if (path.prepare) path.prepare(r);
    r.h.messages.shown.clear();
    sim::Faults faults;
    fault.arm(faults, mid);
    r.h.ctrl().setFaults(faults);
    path.read(r);
    // The line is whole again; what was late arrives while the operator types.
    r.h.ctrl().setFaults(sim::Faults{});
    r.h.clock().advance(15000);
    Bytes typed = before;
    path.type(r, typed);
    const std::size_t receivedBeforeWrite = r.h.ctrl().received().size();
    path.write(r);
    const Bytes after = imageOf(r, path.regions);
    if (wholeLine) {
      EXPECT_GT(r.h.ctrl().received().size(), receivedBeforeWrite) << "the write went out";
      EXPECT_EQ(after, typed) << "on a whole line the write takes what was read and typed";
      EXPECT_TRUE(r.h.messages.shown.isEmpty()) << r.h.messages.shown.join('|').toStdString();
    }
    int changed = 0;
    for (std::size_t i = 0; i < after.size(); ++i) {
      EXPECT_TRUE(after[i] == before[i] || after[i] == typed[i])
          << "byte " << i << ": " << int(after[i]) << ", held " << int(before[i]) << ", typed "
          << int(typed[i]);
      if (after[i] != before[i]) ++changed;
    }
    outcomes << (changed > 0 ? QStringLiteral("typed") : QStringLiteral("kept"));
  }
  std::printf("%s: %s\n", path.name, qPrintable(outcomes.join(u' ')));
}

// A write that goes unanswered is told, and leaves the controller as it was.
TEST(ReadWriteMatrixWrites, AWriteOnASilentLineSaysSo) {
  for (const Path& path : kPaths) {
    if (!path.tellsFailedWrite) continue;
    SCOPED_TRACE(path.name);
    Rig r;
    Bytes before = imageOf(r, path.regions);
    path.seed(before);
    putImage(r, path.regions, before);
    if (path.prepare) path.prepare(r);
    path.read(r);
    Bytes typed = before;
    path.type(r, typed);
    r.h.messages.shown.clear();
    sim::Faults silent;
    silent.silent = true;
    r.h.ctrl().setFaults(silent);
    path.write(r);
    EXPECT_EQ(r.h.messages.shown.size(), 1) << r.h.messages.shown.join('|').toStdString();
    EXPECT_EQ(imageOf(r, path.regions), before);
  }
}

// Every button that reads or writes controller memory, in every window,
// waits while a run's frames come; a key code still goes out.
TEST(ReadWriteMatrixRun, EveryMemoryReadAndWriteWaitsWhileARunSendsItsFrames) {
  // Each window (the main window: empty) with its buttons that exchange memory.
  const std::pair<QString, QStringList> controls[] = {
      {"",
       {"Button12", "Button16", "Button13", "Button14", "Button15", "Button24", "Button8",
        "Button9", "Button10"}},
      {"TFormVvodProg", {"Button1", "Button2"}},
      {"TFormIzmKoef",
       {"Button1", "Button2", "Button3", "Button4", "Button5", "Button6", "Button7", "Button8"}},
      {"TFormDopParam", {"Button1", "Button4", "Button5", "Button6", "Button7"}},
      {"TFormDopRAM", {"Button6", "Button2", "Button1", "Button4"}},
      {"TFormRabPID", {"Button4", "Button2", "Button5", "Button6"}},
  };
  // Each run started with its own control, on a console of its own.
  const std::pair<const char*, std::function<void(Rig&)>> runs[] = {
      {"Пуск", [](Rig& r) { r.main("ShapePuskStopTop"); }},
      {"PID window", [](Rig& r) { r.in<TFormRabPID>("Button1"); }},
  };
  for (const auto& [runName, start] : runs) {
    SCOPED_TRACE(runName);
    Rig r;
    for (const char* hidden : {"Button8", "Button9", "Button10"}) r.unhide(hidden);
    start(r);
    ASSERT_EQ(r.h.console().run().PidRunActive, 1);
    const auto refused = [&r](const std::string& what, const std::function<void()>& act) {
      SCOPED_TRACE(what);
      r.h.ctrl().clearLogs();
      r.h.messages.shown.clear();
      act();
      EXPECT_TRUE(r.h.ctrl().received().empty());
      EXPECT_EQ(r.h.messages.shown, QStringList{ui::memoryRefusedText()});
    };
    for (const auto& [windowName, buttons] : controls) {
      QWidget* window = &r.h.form1();
      for (const auto& w : r.h.console().windows())
        if (!windowName.isEmpty() && w->objectName() == windowName) window = w.get();
      for (const QString& button : buttons)
        refused((windowName + " " + button).toStdString(),
                [&] { r.click(*window, button.toLatin1().constData()); });
    }
    refused("the program editor", [&] { choose(r, 2); });
    EXPECT_EQ(r.editorCombo()->currentIndex(), 0);
    r.h.ctrl().clearLogs();
    r.main("Button5");  // t/T/N: a key, no memory
    EXPECT_EQ(r.h.ctrl().received(), Bytes{ctl::plainKey::kTTN});
  }
}

INSTANTIATE_TEST_SUITE_P(Paths, ReadWriteMatrix, ::testing::Range<std::size_t>(0, kPaths.size()),
                         [](const ::testing::TestParamInfo<std::size_t>& row) {
                           QString id = QStringLiteral("p%1_").arg(row.param, 2, 10, QChar('0'));
                           for (QChar c : QString::fromUtf8(kPaths[row.param].name))
                             if (c.isLetterOrNumber() && c.unicode() < 128) id += c;
                           return id.toStdString();
                         });

}  // namespace
}  // namespace calorix
