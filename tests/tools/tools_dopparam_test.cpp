// The additional-parameters window driven through its buttons and fields
// against the emulator: the three 16-bit words of the running stage at RAM
// 0xDC, 0xAC and 0xAE, read and written with the traced RAM commands.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <vector>

#include "tests/support/WindowFixture.h"
#include "tools/TFormDopParam.h"

namespace calorix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Frames as the controller receives them: code, length, address low first,
// count, [data], end byte 0x80.
Bytes rdRam(quint16 addr, std::uint8_t count) {
  return {0x05, 0x05, std::uint8_t(addr), std::uint8_t(addr >> 8), count, 0x80};
}
Bytes wrRamWord(quint16 addr, std::uint8_t lo, std::uint8_t hi) {
  return {0x04, 0x07, std::uint8_t(addr), std::uint8_t(addr >> 8), 0x02, lo, hi, 0x80};
}
Bytes concat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

struct Row {
  const char* field;
  const char* button;
  quint16 address;
  const char* unit;
  const char* caption;
};
// In the order "Чтение всех параметров" and "Запись всех параметров" take them.
const Row kRows[3] = {
    {"EditZadTempEtap", "Button1", 0xDC, "°С", "Чтение зад.температуры"},
    {"EditZadTimeStabEtap", "Button4", 0xAC, "Мин.", "Чтение времени стабилизации"},
    {"EditZadSpeedEtap", "Button5", 0xAE, "°С/мин.", "Чтение скорости нагрева"},
};

struct DopParamFixture : testing::WindowFixture {
  TFormDopParam window{ctx};

  QLineEdit* field(int row) {
    auto* e = window.findChild<QLineEdit*>(kRows[row].field);
    EXPECT_NE(e, nullptr) << kRows[row].field;
    return e;
  }
  QPushButton* button(const char* name) {
    auto* b = window.findChild<QPushButton*>(name);
    EXPECT_NE(b, nullptr) << name;
    return b;
  }
  void press(const char* name, Qt::MouseButton which = Qt::LeftButton) {
    harness.ctrl().clearLogs();
    QTest::mousePress(button(name), which);
  }
  void type(int row, const QString& text) {
    QLineEdit* e = field(row);
    e->clear();
    QTest::keyClicks(e, text);
  }
  auto& ram() { return harness.ctrl().memory().ram; }
  quint16 word(quint16 addr) { return harness.ctrl().memory().ramWord(addr); }
  const std::vector<std::uint8_t>& received() { return harness.ctrl().received(); }
};

// ---- reads -------------------------------------------------------------------

TEST(AdditionalParametersWindow, EachReadButtonShowsItsWordLowByteFirstAsUnsignedDecimal) {
  struct Case {
    std::uint8_t lo, hi;
    const char* shown;
    Qt::MouseButton mouse;  // any mouse button acts
  };
  const Case cases[] = {{0x2C, 0x01, "300", Qt::LeftButton},
                        {0x07, 0x00, "7", Qt::RightButton},
                        {0x00, 0x80, "32768", Qt::MiddleButton},
                        {0xFF, 0xFF, "65535", Qt::LeftButton},
                        {0x00, 0x00, "0", Qt::LeftButton}};
  for (int row = 0; row < 3; ++row) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << kRows[row].field << " " << c.shown);
      DopParamFixture f;
      f.ram()[kRows[row].address] = c.lo;
      f.ram()[kRows[row].address + 1] = c.hi;
      f.press(kRows[row].button, c.mouse);
      EXPECT_EQ(f.received(), rdRam(kRows[row].address, 2));
      EXPECT_EQ(f.field(row)->text(), c.shown);
      for (int other = 0; other < 3; ++other) {
        if (other != row) {
          EXPECT_EQ(f.field(other)->text(), kRows[other].field) << "untouched";
        }
      }
      EXPECT_TRUE(f.messages.shown.isEmpty());
    }
  }
}

TEST(AdditionalParametersWindow, ReadAllReadsTemperatureTimeAndSpeedInThatOrder) {
  DopParamFixture f;
  f.harness.ctrl().memory().setRamWord(0xDC, 1250);
  f.harness.ctrl().memory().setRamWord(0xAC, 16383);
  f.harness.ctrl().memory().setRamWord(0xAE, 15);
  f.press("Button6");
  EXPECT_EQ(f.received(), concat({rdRam(0xDC, 2), rdRam(0xAC, 2), rdRam(0xAE, 2)}));
  EXPECT_EQ(f.field(0)->text(), "1250");
  EXPECT_EQ(f.field(1)->text(), "16383");
  EXPECT_EQ(f.field(2)->text(), "15");
}

// ---- writes ------------------------------------------------------------------

TEST(AdditionalParametersWindow, WriteAllSendsTheThreeWordsInOrderAndReadsNothingBack) {
  DopParamFixture f;
  f.type(0, "300");
  f.type(1, "45");
  f.type(2, "5");
  f.press("Button7");
  // No synchronising command and no read-back: exactly the three writes.
  EXPECT_EQ(f.received(), concat({wrRamWord(0xDC, 0x2C, 0x01), wrRamWord(0xAC, 0x2D, 0x00),
                                  wrRamWord(0xAE, 0x05, 0x00)}));
  EXPECT_EQ(f.word(0xDC), 300);
  EXPECT_EQ(f.word(0xAC), 45);
  EXPECT_EQ(f.word(0xAE), 5);
  EXPECT_TRUE(f.messages.shown.isEmpty());
  EXPECT_EQ(f.field(0)->text(), "300") << "the fields keep what was typed";
}

TEST(AdditionalParametersWindow, WriteAllTakesEveryIntegerNotationWithinAWord) {
  struct Case {
    const char* text;
    std::uint8_t lo, hi;
  };
  const Case cases[] = {{"0", 0x00, 0x00},    {"65535", 0xFF, 0xFF}, {"  300", 0x2C, 0x01},
                        {"+300", 0x2C, 0x01}, {"$12C", 0x2C, 0x01},  {"0x12c", 0x2C, 0x01},
                        {"X12C", 0x2C, 0x01}, {"$FFFF", 0xFF, 0xFF}, {"256", 0x00, 0x01},
                        {"00042", 0x2A, 0x00}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    DopParamFixture f;
    for (int row = 0; row < 3; ++row) f.type(row, c.text);
    f.press("Button7");
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join('|').toStdString();
    EXPECT_EQ(f.received(), concat({wrRamWord(0xDC, c.lo, c.hi), wrRamWord(0xAC, c.lo, c.hi),
                                    wrRamWord(0xAE, c.lo, c.hi)}));
  }
}

TEST(AdditionalParametersWindow, WriteAllStopsAtTheFirstBadFieldWithEarlierOnesWritten) {
  struct Case {
    const char* texts[3];  // nullptr: the field keeps its placeholder
    const char* message;
    int written;  // fields written before the stop
  };
  const Case cases[] = {
      // Before any read the placeholders are no numbers.
      {{nullptr, nullptr, nullptr}, "'EditZadTempEtap' is not a valid integer value", 0},
      {{"300", "abc", "5"}, "'abc' is not a valid integer value", 1},
      {{"300", "45", ""}, "'' is not a valid integer value", 2},
      {{"300", "45", "5 "}, "'5 ' is not a valid integer value", 2},
      {{"300", "4.5", "5"}, "'4.5' is not a valid integer value", 1},
      {{"$", "45", "5"}, "'$' is not a valid integer value", 0},
      // Outside a 16-bit word: refused, never cut to its low bits.
      {{"65536", "45", "5"}, "Значение 65536 вне диапазона 0..65535", 0},
      {{"300", "-1", "5"}, "Значение -1 вне диапазона 0..65535", 1},
      {{"300", "45", "$10000"}, "Значение 65536 вне диапазона 0..65535", 2},
      {{"300", "45", "99999999999"}, "'99999999999' is not a valid integer value", 2},
  };
  const Bytes writes[3] = {wrRamWord(0xDC, 0x2C, 0x01), wrRamWord(0xAC, 0x2D, 0x00),
                           wrRamWord(0xAE, 0x05, 0x00)};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    DopParamFixture f;
    for (const Row& r : kRows) f.harness.ctrl().memory().setRamWord(r.address, 0x1234);
    for (int row = 0; row < 3; ++row)
      if (c.texts[row]) f.type(row, QString::fromUtf8(c.texts[row]));
    f.press("Button7");
    EXPECT_EQ(f.messages.shown, QStringList{QString::fromUtf8(c.message)});
    Bytes expected;
    for (int i = 0; i < c.written; ++i)
      expected.insert(expected.end(), writes[i].begin(), writes[i].end());
    EXPECT_EQ(f.received(), expected);
    for (int row = c.written; row < 3; ++row)
      EXPECT_EQ(f.word(kRows[row].address), 0x1234) << kRows[row].field << " not written";
  }
}

TEST(AdditionalParametersWindow, ReadThenWriteRoundTripsTheStageWords) {
  DopParamFixture f;
  auto& mem = f.harness.ctrl().memory();
  mem.setRamWord(0xDC, 300);
  mem.setRamWord(0xAC, 45);
  mem.setRamWord(0xAE, 5);
  f.press("Button6");
  mem.setRamWord(0xDC, 0);
  mem.setRamWord(0xAC, 0);
  mem.setRamWord(0xAE, 0);
  f.press("Button7");
  EXPECT_EQ(mem.ramWord(0xDC), 300);
  EXPECT_EQ(mem.ramWord(0xAC), 45);
  EXPECT_EQ(mem.ramWord(0xAE), 5);
  // The bytes beside the words are left alone.
  EXPECT_EQ(mem.ram[0xDE], 0);
  EXPECT_EQ(mem.ram[0xAB], 0);
}

// ---- how the buttons act -----------------------------------------------------

TEST(AdditionalParametersWindow, ButtonsActOnThePressOnceAndNotOnTheRelease) {
  DopParamFixture f;
  f.harness.ctrl().clearLogs();
  QTest::mouseClick(f.button("Button1"), Qt::LeftButton);  // press and release
  EXPECT_EQ(f.received(), rdRam(0xDC, 2)) << "one read, on the press";
  f.harness.ctrl().clearLogs();
  QTest::mouseRelease(f.button("Button6"), Qt::LeftButton);
  EXPECT_TRUE(f.received().empty()) << "a release alone does nothing";
}

TEST(AdditionalParametersWindow, APressWhileTheLinkIsBusySendsNothing) {
  DopParamFixture f;
  f.type(0, "300");
  f.type(1, "45");
  f.type(2, "5");
  ASSERT_TRUE(f.harness.link().tryBegin());
  for (const char* name : {"Button1", "Button4", "Button5", "Button6", "Button7"}) {
    f.press(name);
    EXPECT_TRUE(f.received().empty()) << name;
  }
  f.harness.link().end();
  EXPECT_EQ(f.field(0)->text(), "300");
  EXPECT_TRUE(f.messages.shown.isEmpty());
  f.press("Button7");
  EXPECT_EQ(f.word(0xDC), 300) << "the link is free again";
}

// ---- layout ------------------------------------------------------------------

TEST(AdditionalParametersWindow, DesignedNamesCaptionsUnitsAndAccessibility) {
  DopParamFixture f;
  EXPECT_EQ(f.window.windowTitle(), "FormDopParam");
  auto* group = f.window.findChild<QGroupBox*>();
  ASSERT_NE(group, nullptr);
  EXPECT_EQ(group->title(), QString::fromUtf8("Параметры на текущем этапе"));
  QStringList units;
  for (auto* label : group->findChildren<QLabel*>()) units << label->text();
  for (const Row& r : kRows) {
    SCOPED_TRACE(r.field);
    EXPECT_TRUE(units.contains(QString::fromUtf8(r.unit)));
    QPushButton* b = f.button(r.button);
    EXPECT_EQ(b->text(), QString::fromUtf8(r.caption));
    EXPECT_EQ(b->parentWidget(), group);
  }
  EXPECT_EQ(f.button("Button6")->text(), QString::fromUtf8("Чтение всех параметров"));
  EXPECT_EQ(f.button("Button7")->text(), QString::fromUtf8("Запись всех параметров"));

  // Every control: its designed name as the automation id, a readable name.
  for (const char* name : {"Button1", "Button4", "Button5", "Button6", "Button7"}) {
    QPushButton* b = f.button(name);
    EXPECT_EQ(b->accessibleDescription(), name);
    EXPECT_EQ(b->accessibleName(), b->text()) << name;
  }
  for (int row = 0; row < 3; ++row) {
    QLineEdit* e = f.field(row);
    EXPECT_EQ(e->accessibleDescription(), kRows[row].field);
    EXPECT_EQ(e->accessibleName(), QString::fromUtf8(kRows[row].caption))
        << "named by the caption beside it";
    EXPECT_FALSE(e->isReadOnly());
  }
}

}  // namespace
}  // namespace calorix
