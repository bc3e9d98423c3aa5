#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <vector>

#include "tests/support/WindowFixture.h"
#include "tools/TFormIzmKoef.h"

namespace calorix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The plain block commands as the controller sees them: every word is a
// 4-byte block at a one-byte address in the block memory.
const Bytes kSync{0x40};

Bytes rdBlock(int count, int addr) {
  return {0x05, std::uint8_t(count), std::uint8_t(addr), 0x00};
}

Bytes wrBlock(int addr, quint32 raw) {
  return {0x04,
          0x04,
          std::uint8_t(addr),
          0x00,
          std::uint8_t(raw),
          std::uint8_t(raw >> 8),
          std::uint8_t(raw >> 16),
          std::uint8_t(raw >> 24)};
}

Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& part : parts) all.insert(all.end(), part.begin(), part.end());
  return all;
}

QString hex(const Bytes& bytes) {
  QStringList parts;
  for (std::uint8_t b : bytes) parts << QString("%1").arg(b, 2, 16, QChar('0')).toUpper();
  return parts.join(' ');
}

const char* const kPidNames[12] = {"EditAP", "EditBP", "EditCP", "EditDP", "EditAD", "EditBD",
                                   "EditCD", "EditDD", "EditAI", "EditBI", "EditCI", "EditDI"};

const QString kBadText = QString::fromUtf8("Ошибка! Текстовое значение в поле ввода!");

struct CoefFixture : testing::WindowFixture {
  TFormIzmKoef window{ctx};

  QLineEdit* edit(const char* name) {
    auto* e = window.findChild<QLineEdit*>(name);
    EXPECT_NE(e, nullptr) << name;
    return e;
  }
  QProgressBar* bar(int number) {
    return window.findChild<QProgressBar*>(QString("ProgressBar%1").arg(number));
  }
  void click(int button) {
    auto* b = window.findChild<QPushButton*>(QString("Button%1").arg(button));
    ASSERT_NE(b, nullptr) << button;
    QTest::mouseClick(b, Qt::LeftButton);
  }
  void type(const char* name, const QString& text) {
    QLineEdit* e = edit(name);
    e->clear();
    QTest::keyClicks(e, text);
  }
  auto& mem() { return harness.ctrl().memory().blockMem; }
  void setRaw(int addr, quint32 raw) {
    for (int b = 0; b < 4; ++b) mem()[addr + b] = std::uint8_t(raw >> (8 * b));
  }
  quint32 raw(int addr) {
    return quint32(mem()[addr]) | (quint32(mem()[addr + 1]) << 8) |
           (quint32(mem()[addr + 2]) << 16) | (quint32(mem()[addr + 3]) << 24);
  }
  QString received() { return hex(harness.ctrl().received()); }
  void clearLog() { harness.ctrl().clearLogs(); }
};

// ---------------------------------------------------------------------------
// Reads

TEST(CoefEditorRead, EachGroupShowsItsWordsWithItsOwnScaling) {
  CoefFixture f;
  f.setRaw(0x00, 65536);       // A: 65536 / 65535
  f.setRaw(0x04, 0xFFFF0001);  // B: -65535 / 65535, the raw's sign kept
  f.setRaw(0x08, 65536);       // К: 6553500 / 65536, not 65536 / 65535
  f.setRaw(0x0C, 1u << 30);
  f.setRaw(0x10, 1677721600);
  f.setRaw(0x14, 2560000);
  f.setRaw(0x18, 1000000);
  for (int button : {1, 3, 5}) f.click(button);
  struct Case {
    const char* field;
    const char* text;
  } cases[] = {
      {"EditIzmTermA", "  1.000"}, {"EditIzmTermB", " -1.000"}, {"EditKUsTerm", " 99.998"},
      {"EditKAT", " 0.25000000"},  {"EditKBT", "- 1.00000000"}, {"EditKCT", " 1.00000000"},
      {"EditKDT", "- 1.00000000"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(f.edit(c.field)->text(), QString::fromUtf8(c.text)) << c.field;
  EXPECT_TRUE(f.messages.shown.isEmpty());
  EXPECT_EQ(f.received(), hex(concat({kSync, rdBlock(4, 0x00), rdBlock(4, 0x04), kSync,  //
                                      kSync, rdBlock(4, 0x08), kSync,                    //
                                      kSync, rdBlock(4, 0x0C), rdBlock(4, 0x10), rdBlock(4, 0x14),
                                      rdBlock(4, 0x18), kSync})));
}

TEST(CoefEditorRead, PidSignFlagsPutMinusBeforeTheirFieldsOnly) {
  CoefFixture f;
  for (int i = 0; i < 12; ++i) f.setRaw(0x20 + 4 * i, 12345678u + quint32(i) * 100000000u / 8);
  f.mem()[0x50] = 0x05;  // AP, CP
  f.mem()[0x51] = 0x08;  // DI
  f.click(7);
  EXPECT_EQ(f.edit("EditAP")->text(), "- 0.12345678");
  EXPECT_EQ(f.edit("EditBP")->text(), " 0.24845678");
  for (int i = 0; i < 12; ++i) {
    const bool negative = i == 0 || i == 2 || i == 11;
    EXPECT_EQ(f.edit(kPidNames[i])->text().startsWith('-'), negative) << kPidNames[i];
    EXPECT_EQ(f.edit(kPidNames[i])->text().length(), negative ? 12 : 11) << kPidNames[i];
  }
  Bytes expected = kSync;
  for (int i = 0; i < 12; ++i) expected = concat({expected, rdBlock(4, 0x20 + 4 * i)});
  EXPECT_EQ(f.received(), hex(concat({expected, rdBlock(2, 0x50), kSync})));
}

// Every bar runs 1..n during its read (n = its group's words, plus the flag
// word in group 4) and is back at 0 afterwards; the write of group 4 runs
// its bar the same way.
TEST(CoefEditorProgress, BarsReachTheirEndsAndReturnToZero) {
  struct Case {
    int button;
    int bar;
    int end;
  } cases[] = {{1, 1, 2}, {3, 2, 1}, {5, 3, 4}, {7, 4, 13}, {8, 4, 13}};
  for (const Case& c : cases) {
    CoefFixture f;
    f.setRaw(0x08, 65536);  // a К that has a reciprocal
    for (const char* name : kPidNames) f.edit(name)->setText("0.5");
    std::vector<int> seen;
    QObject::connect(f.bar(c.bar), &QProgressBar::valueChanged,
                     [&seen](int value) { seen.push_back(value); });
    f.click(c.button);
    std::vector<int> expected;
    for (int v = 1; v <= c.end; ++v) expected.push_back(v);
    expected.push_back(0);
    EXPECT_EQ(seen, expected) << "Button" << c.button;
    EXPECT_EQ(f.bar(c.bar)->maximum(), c.end) << "Button" << c.button;
    EXPECT_TRUE(f.messages.shown.isEmpty()) << "Button" << c.button;
  }
}

// A word the controller refused is not shown as read: its field is left
// empty and named, and the read carries on with the next word.
TEST(CoefEditorRead, RefusedBlockReadLeavesItsFieldEmptyAndTheGroupGoesOn) {
  CoefFixture f;
  f.setRaw(0x00, 65536);
  f.setRaw(0x04, 131072);
  sim::Faults faults;
  faults.refuseCommand = 0x05;
  f.harness.ctrl().setFaults(faults);
  f.click(1);
  EXPECT_EQ(f.edit("EditIzmTermA")->text(), "");
  EXPECT_EQ(f.edit("EditIzmTermB")->text(), "  2.000");
  ASSERT_EQ(f.messages.shown.size(), 1);
  EXPECT_TRUE(f.messages.shown[0].contains(QString::fromUtf8("прочитано из контроллера")));
  EXPECT_TRUE(f.messages.shown[0].contains(u'A'));
}

// ---------------------------------------------------------------------------
// Writes

TEST(CoefEditorWrite, StoresTheRoundedMagnitudeLowByteFirst) {
  struct Case {
    const char* field;
    const char* text;
    int addr;
    quint32 raw;
  } cases[] = {
      {"EditIzmTermA", "0.9999999999", 0x00, 65536},  // just below a whole number
      {"EditIzmTermB", "-1,5", 0x04, 98304},          // the sign is dropped
      {"EditKUsTerm", "100", 0x08, 65536},            // |1 / К * 100| * 65536
      {"EditKAT", "-0.25", 0x0C, 1u << 30},
      {"EditKBT", "- 1.00000000", 0x10, 1677721600},  // a shown text typed back
      {"EditKCT", "-1", 0x14, 2560000},
      {"EditKDT", "- 1.00000000", 0x18, 1000000},
  };
  CoefFixture f;
  for (const Case& c : cases) f.type(c.field, QString::fromUtf8(c.text));
  for (int button : {2, 4, 6}) f.click(button);
  EXPECT_TRUE(f.messages.shown.isEmpty());
  for (const Case& c : cases) EXPECT_EQ(f.raw(c.addr), c.raw) << c.field;
  // The fields keep what the operator typed.
  EXPECT_EQ(f.edit("EditKBT")->text(), "- 1.00000000");
  const auto& r = cases;
  EXPECT_EQ(f.received(),
            hex(concat({kSync, wrBlock(0x00, r[0].raw), wrBlock(0x04, r[1].raw), kSync,  //
                        kSync, wrBlock(0x08, r[2].raw), kSync,                           //
                        kSync, wrBlock(0x0C, r[3].raw), wrBlock(0x10, r[4].raw),
                        wrBlock(0x14, r[5].raw), wrBlock(0x18, r[6].raw), kSync})));
  // Bytes 00 00 01 00 for 65536.
  EXPECT_EQ(f.mem()[0x00], 0x00);
  EXPECT_EQ(f.mem()[0x02], 0x01);
}

TEST(CoefEditorWrite, PidSignsGoIntoTheFlagWordAndMagnitudesIntoTheWords) {
  CoefFixture f;
  const char* texts[12] = {"-0.5", "-0", "1", "0.00000001", "2",      "3",
                           "4",    "5",  "6", "7",          "-0.000", "-21.47483647"};
  for (int i = 0; i < 12; ++i) f.type(kPidNames[i], texts[i]);
  f.click(8);
  EXPECT_TRUE(f.messages.shown.isEmpty());
  EXPECT_EQ(f.raw(0x20), 50000000u);
  EXPECT_EQ(f.raw(0x24), 0u);
  EXPECT_EQ(f.raw(0x2C), 1u);
  EXPECT_EQ(f.raw(0x4C), 2147483647u);
  // Only AP and DI are negative: a zero with a minus counts as not negative.
  EXPECT_EQ(f.mem()[0x50], 0x01);
  EXPECT_EQ(f.mem()[0x51], 0x08);
  const Bytes& got = f.harness.ctrl().received();
  const Bytes tail = concat({Bytes{0x04, 0x02, 0x50, 0x00, 0x01, 0x08}, kSync});
  ASSERT_GE(got.size(), tail.size());
  EXPECT_EQ(hex(Bytes(got.end() - tail.size(), got.end())), hex(tail));
}

// What is read and written back unchanged stores the same words: group 3's
// D (stored as a magnitude, shown negative) and the whole of group 4 with its
// flag word 05 08. The amplifier's reads divide by 65535 while its writes
// scale by 65536, so A and К drift by one unit, as the controller's tools do.
TEST(CoefEditorRoundTrip, ReadThenWriteStoresTheSameWords) {
  CoefFixture f;
  f.setRaw(0x00, 65536);
  f.setRaw(0x08, 65536);
  f.setRaw(0x18, 1000000);
  for (int i = 0; i < 12; ++i) f.setRaw(0x20 + 4 * i, 100000000u + 7654321u * quint32(i));
  f.mem()[0x50] = 0x05;
  f.mem()[0x51] = 0x08;
  const auto before = f.mem();
  for (int button : {1, 3, 5, 7}) f.click(button);
  EXPECT_EQ(f.edit("EditKDT")->text(), "- 1.00000000");
  f.mem().fill(0);
  for (int button : {2, 4, 6, 8}) f.click(button);
  EXPECT_TRUE(f.messages.shown.isEmpty());
  EXPECT_EQ(f.raw(0x00), 65536u);  // "1.000" stores 65536 again
  EXPECT_EQ(f.raw(0x08), 65537u);  // 99.998 -> 6553600 / 99.998
  EXPECT_EQ(f.raw(0x18), 1000000u);
  EXPECT_TRUE(std::equal(before.begin() + 0x20, before.begin() + 0x52, f.mem().begin() + 0x20));
}

// The fields start with their names as texts: a write before any read stops
// at the first field, after the opening SyncCmd, and sends the closing one.
TEST(CoefEditorWrite, PlaceholderTextsWriteNothingBetweenTheTwoSyncs) {
  for (int button : {2, 4, 6, 8}) {
    CoefFixture f;
    const auto before = f.mem();
    f.click(button);
    EXPECT_EQ(f.messages.shown, QStringList{kBadText}) << "Button" << button;
    EXPECT_EQ(f.received(), hex(concat({kSync, kSync}))) << "Button" << button;
    EXPECT_EQ(f.mem(), before) << "Button" << button;
    EXPECT_EQ(f.bar(4)->value(), 0);
  }
  CoefFixture f;
  f.click(2);
  EXPECT_EQ(f.edit("EditIzmTermA")->text(), "EditIzmTermA");  // the field keeps its text
}

// A refused field (a text that is no number, or a value whose raw does not
// fit a signed 32-bit word) stops the write there: the words before it stay
// written, its own and the later ones are not, group 4's flag word is not
// written, the closing SyncCmd goes out and ProgressBar4 is back at 0.
TEST(CoefEditorWrite, RefusedFieldStopsTheGroupThereAndStillCloses) {
  struct Case {
    const char* text;
    const char* message;
  } cases[] = {
      {"12a", "Ошибка! Текстовое значение в поле ввода!"},
      {"-", "Ошибка! Текстовое значение в поле ввода!"},
      {"21.47483648", "Значение 21.47483648 вне диапазона -21.47483647..21.47483647"},
      {"-1000", "Значение -1000 вне диапазона -21.47483647..21.47483647"},
  };
  for (const Case& c : cases) {
    CoefFixture f;
    f.mem()[0x50] = 0xAA;
    for (const char* name : kPidNames) f.type(name, "0.5");
    f.type("EditBD", QString::fromUtf8(c.text));  // the sixth field, at 0x34
    f.click(8);
    EXPECT_EQ(f.messages.shown, QStringList{QString::fromUtf8(c.message)}) << c.text;
    Bytes expected = kSync;
    for (int i = 0; i < 5; ++i) expected = concat({expected, wrBlock(0x20 + 4 * i, 50000000)});
    EXPECT_EQ(f.received(), hex(concat({expected, kSync}))) << c.text;
    EXPECT_EQ(f.raw(0x30), 50000000u) << c.text;
    EXPECT_EQ(f.raw(0x34), 0u) << c.text;
    EXPECT_EQ(f.mem()[0x50], 0xAA) << c.text;
    EXPECT_EQ(f.bar(4)->value(), 0) << c.text;
  }
}

// The largest gain accepted still stores a word that reads back.
TEST(CoefEditorGain, LargestGainStoresTheSmallestWordAndReadsBack) {
  CoefFixture f;
  f.type("EditKUsTerm", "13107199.99999999");
  f.click(4);
  EXPECT_TRUE(f.messages.shown.isEmpty());
  EXPECT_EQ(f.raw(0x08), 1u);
  f.click(3);
  EXPECT_EQ(f.edit("EditKUsTerm")->text(), "6553500.000");
  EXPECT_TRUE(f.messages.shown.isEmpty());
}

TEST(CoefEditorWrite, OutOfRangeInTheSimpleGroupsIsRefusedBeforeItsWord) {
  struct Case {
    int button;
    const char* field;
    const char* text;
    const char* message;
    Bytes written;  // what goes out between the two SyncCmds
  } cases[] = {
      {6, "EditKAT", "0.5", "Значение 0.5 вне диапазона -0.49999999..0.49999999", {}},
      {2, "EditIzmTermB", "-40000", "Значение -40000 вне диапазона -32767.99998474..32767.99998474",
       wrBlock(0x00, 65536)},
      {4, "EditKUsTerm", "0.003", "Значение 0.003 вне диапазона: |К| не меньше 0.00305176", {}},
      // So large a gain would store the word 0, which has no reciprocal to read
      // back (and leaves the controller a zero gain word).
      {4,
       "EditKUsTerm",
       "-20000000",
       "Значение -20000000 вне диапазона: |К| не больше 13107199.99999999",
       {}},
      {4,
       "EditKUsTerm",
       "13107200",
       "Значение 13107200 вне диапазона: |К| не больше 13107199.99999999",
       {}},
  };
  for (const Case& c : cases) {
    CoefFixture f;
    f.type("EditIzmTermA", "1");
    for (const char* name : {"EditKAT", "EditKBT", "EditKCT", "EditKDT"}) f.type(name, "0.1");
    f.type(c.field, c.text);
    f.click(c.button);
    EXPECT_EQ(f.messages.shown, QStringList{QString::fromUtf8(c.message)}) << c.field;
    EXPECT_EQ(f.received(), hex(concat({kSync, c.written, kSync}))) << c.field;
  }
}

// A text that passes the character checks but does not convert abandons the
// whole write at once: no closing SyncCmd and the bar keeps its position.
TEST(CoefEditorWrite, TextThatDoesNotConvertAbandonsTheWrite) {
  CoefFixture f;
  for (const char* name : kPidNames) f.type(name, "1");
  f.type("EditCP", "1.2.3");
  f.click(8);
  EXPECT_EQ(f.messages.shown, QStringList{"'1,2.3' is not a valid floating point value"});
  EXPECT_EQ(f.received(), hex(concat({kSync, wrBlock(0x20, 100000000), wrBlock(0x24, 100000000)})));
  EXPECT_EQ(f.bar(4)->value(), 2);
  EXPECT_EQ(f.edit("EditCP")->text(), "1.2.3");
}

// ---------------------------------------------------------------------------
// The gain К has no reciprocal for raw 0 or for К = 0.

TEST(CoefEditorGain, ZeroHasNoReciprocalAndTheWindowCarriesOn) {
  CoefFixture f;
  f.edit("EditKUsTerm")->setText("5");
  f.click(3);  // raw 0 in the block memory
  EXPECT_EQ(f.messages.shown, QStringList{"Floating point division by zero"});
  EXPECT_EQ(f.edit("EditKUsTerm")->text(), "5");
  EXPECT_EQ(f.bar(2)->value(), 1);
  EXPECT_EQ(f.received(), hex(concat({kSync, rdBlock(4, 0x08)})));

  for (const char* zero : {"0", "-0", "0,000"}) {
    f.clearLog();
    f.messages.shown.clear();
    f.setRaw(0x08, 0x12345678);
    f.type("EditKUsTerm", zero);
    f.click(4);
    EXPECT_EQ(f.messages.shown, QStringList{"Floating point division by zero"}) << zero;
    EXPECT_EQ(f.received(), hex(kSync)) << zero;
    EXPECT_EQ(f.raw(0x08), 0x12345678u) << zero;
  }

  // Afterwards the window works as before.
  f.messages.shown.clear();
  f.setRaw(0x08, 65536);
  f.click(3);
  EXPECT_TRUE(f.messages.shown.isEmpty());
  EXPECT_EQ(f.edit("EditKUsTerm")->text(), " 99.998");
  EXPECT_EQ(f.bar(2)->value(), 0);
}

// ---------------------------------------------------------------------------
// The window as designed, and the one-exchange-at-a-time guard.

TEST(CoefEditorWindow, GroupsButtonsAndPidColumnsAreLaidOutAsDesigned) {
  CoefFixture f;
  EXPECT_EQ(f.window.windowTitle(), "FormIzmKoef");
  QStringList titles;
  for (auto* box : f.window.findChildren<QGroupBox*>()) titles << box->title();
  EXPECT_EQ(titles,
            (QStringList{
                QString::fromUtf8("Коэффициенты изменения характеристики усилителя термопары"),
                QString::fromUtf8("Коэффициент усиления усилителя термопары"),
                QString::fromUtf8("Коэффициенты преобразования напряжения термопары в температуру"),
                QString::fromUtf8("Коэффициенты расчета коэффициентов PIDа от температуры")}));
  for (int b = 1; b <= 8; ++b)
    EXPECT_EQ(f.window.findChild<QPushButton*>(QString("Button%1").arg(b))->text(),
              QString::fromUtf8(b % 2 ? "Чтение" : "Запись"))
        << b;
  f.window.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&f.window));
  // Columns P, D, I from left to right; rows A..D from top to bottom.
  for (int column = 0; column < 3; ++column)
    for (int row = 0; row < 4; ++row) {
      const QRect here = f.edit(kPidNames[4 * column + row])->geometry();
      if (row > 0) {
        EXPECT_GT(here.top(), f.edit(kPidNames[4 * column + row - 1])->geometry().top());
      }
      if (column > 0) {
        EXPECT_GT(here.left(), f.edit(kPidNames[4 * (column - 1) + row])->geometry().left());
      }
    }
}

// While another exchange runs (a read-out that lets events run), a click
// sends nothing and changes nothing.
TEST(CoefEditorWindow, ClicksWhileTheLinkIsBusyDoNothing) {
  CoefFixture f;
  f.setRaw(0x00, 65536);
  f.type("EditIzmTermA", "1");
  f.type("EditIzmTermB", "1");
  ASSERT_TRUE(f.harness.link().tryBegin());
  for (int button = 1; button <= 8; ++button) f.click(button);
  f.harness.link().end();
  EXPECT_TRUE(f.harness.ctrl().received().empty());
  EXPECT_TRUE(f.messages.shown.isEmpty());
  EXPECT_EQ(f.edit("EditIzmTermA")->text(), "1");
  f.click(1);
  EXPECT_EQ(f.edit("EditIzmTermA")->text(), "  1.000");
}

}  // namespace
}  // namespace calorix
