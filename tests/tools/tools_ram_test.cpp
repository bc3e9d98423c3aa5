// The RAM inspector driven through its buttons, combo boxes and fields
// against the emulator: indication bytes, register bits and their masks, the
// ROM dump.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <cstdint>
#include <vector>

#include "tests/support/WindowFixture.h"
#include "tools/TFormDopRAM.h"

namespace calorix {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Frames as the controller receives them (addresses low byte first).
Bytes rdRam(quint16 addr, std::uint8_t count) {
  return {0x05, 0x05, std::uint8_t(addr), std::uint8_t(addr >> 8), count, 0x80};
}
Bytes rdRom(quint16 addr, std::uint8_t count) {
  return {0x0C, 0x05, std::uint8_t(addr), std::uint8_t(addr >> 8), count, 0x80};
}
Bytes setRegBits(std::uint8_t reg, std::uint8_t orMask, std::uint8_t andMask) {
  return {0x01, 0x05, reg, orMask, andMask, 0x80};
}

QString bitCheckName(int bit) {
  return QString("CheckBox%1").arg(bit + 1);
}
QString bitComboName(int bit) {
  return QString("ComboBox%1").arg(bit);
}

struct RamFixture : testing::WindowFixture {
  RamFixture() {
    window.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  TFormDopRAM window{ctx};

  template <class W>
  W* get(const QString& name) {
    auto* w = window.findChild<W*>(name);
    EXPECT_NE(w, nullptr) << name.toStdString();
    return w;
  }
  void press(const char* button, Qt::MouseButton which = Qt::LeftButton) {
    harness.ctrl().clearLogs();
    QTest::mousePress(get<QPushButton>(button), which);
  }
  void type(const char* name, const QString& text) {
    QLineEdit* e = get<QLineEdit>(name);
    e->clear();
    QTest::keyClicks(e, text);
  }
  // Opens the combo box's list with the mouse and clicks the item.
  void pick(const QString& comboName, const QString& item) {
    QComboBox* box = get<QComboBox>(comboName);
    const int row = box->findText(item);
    ASSERT_GE(row, 0) << item.toStdString();
    QTest::mouseClick(box, Qt::LeftButton);
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(list->isVisible()) << "the list opened";
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    // The item's row, in the middle of the visible width (an item may be
    // wider than the list).
    const QPoint at(list->viewport()->width() / 2, list->visualRect(index).center().y());
    // The list takes the click as a choice only after the pointer has moved
    // in it: move it in from elsewhere, as a hand would.
    QTest::mouseMove(list->viewport(), QPoint(1, 1));
    QTest::mouseMove(list->viewport(), at);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    ASSERT_EQ(box->currentText(), item) << comboName.toStdString();
    ASSERT_FALSE(list->isVisible()) << "the list closed";
  }
  bool ticked(int bit) { return get<QCheckBox>(bitCheckName(bit))->isChecked(); }
  auto& ram() { return harness.ctrl().memory().ram; }
  auto& rom() { return harness.ctrl().memory().rom; }
  const std::vector<std::uint8_t>& received() { return harness.ctrl().received(); }
};

// ---- indication bytes ----------------------------------------------------------

TEST(RamInspectorWindow, IndicationBytesShowAsUpperCaseHexPairsInThreeFields) {
  struct Case {
    std::uint8_t bytes[8];
    const char *d01, *d23, *d4567;
  };
  const Case cases[] = {
      {{0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07}, "3F 06", "5B 4F", "66 6D 7D 07"},
      {{0x00, 0x0A, 0xFF, 0xab, 0x01, 0x41, 0x10, 0xC0}, "00 0A", "FF AB", "01 41 10 C0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.d01);
    RamFixture f;
    std::copy(c.bytes, c.bytes + 8, f.ram().begin() + 0x60);
    f.ram()[0x68] = 0x99;  // the ninth byte is not asked for
    f.press("Button6");
    EXPECT_EQ(f.received(), rdRam(0x60, 8));
    EXPECT_EQ(f.get<QLineEdit>("EditDigit01")->text(), c.d01);
    EXPECT_EQ(f.get<QLineEdit>("EditDigit23")->text(), c.d23);
    EXPECT_EQ(f.get<QLineEdit>("EditDigit4567")->text(), c.d4567);
  }
}

// ---- register bits ---------------------------------------------------------------

TEST(RamInspectorWindow, RegisterReadTicksTheCheckBoxOfEverySetBitOnly) {
  struct Case {
    int reg;
    std::uint8_t value;
  };
  const Case cases[] = {{5, 0x81}, {0, 0x00}, {31, 0xFF}, {17, 0x5A}, {14, 0x01}, {1, 0x80}};
  RamFixture f;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reg);
    for (int r = 0; r < 32; ++r) f.ram()[r] = std::uint8_t(~c.value);  // the neighbours differ
    f.ram()[c.reg] = c.value;
    f.pick("ComboBoxR", QString("R%1").arg(c.reg));
    f.press("Button2");
    EXPECT_EQ(f.received(), rdRam(quint16(c.reg), 1));
    // The cases follow each other in one window: a clear bit also clears
    // what the previous read ticked.
    for (int k = 0; k < 8; ++k) EXPECT_EQ(f.ticked(k), bool((c.value >> k) & 1)) << "bit " << k;
  }
}

TEST(RamInspectorWindow, BitChoicesBecomeTheOrAndAndMasksOfTheSelectedRegister) {
  struct Case {
    const char* choices;  // bit 7 first, as the columns stand
    std::uint8_t orMask, andMask;
  };
  const Case cases[] = {
      {"1xxxxxx0", 0x80, 0xFE}, {"xxxxxxxx", 0x00, 0xFF}, {"11111111", 0xFF, 0xFF},
      {"00000000", 0x00, 0x00}, {"x1x0x1x0", 0x44, 0xEE}, {"xxxxx1xx", 0x04, 0xFF},
      {"xxxxxx0x", 0x00, 0xFD},
  };
  for (int reg : {5, 0, 31}) {
    for (const Case& c : cases) {
      SCOPED_TRACE(::testing::Message() << "R" << reg << " " << c.choices);
      RamFixture f;
      const std::uint8_t before = 0x3C;
      f.ram()[reg] = before;
      f.pick("ComboBoxR", QString("R%1").arg(reg));
      for (int k = 0; k < 8; ++k) {
        const char choice = c.choices[7 - k];
        if (choice != 'x') f.pick(bitComboName(k), QString(QChar(choice)));
      }
      f.press("Button1");
      EXPECT_EQ(f.received(), setRegBits(std::uint8_t(reg), c.orMask, c.andMask));
      EXPECT_EQ(f.ram()[reg], std::uint8_t((before | c.orMask) & c.andMask));
      for (int k = 0; k < 8; ++k) EXPECT_FALSE(f.ticked(k)) << "nothing is read back";
    }
  }
}

TEST(RamInspectorWindow, WritingKeepsTheBitsShownAndAChoiceBackOnXLeavesTheBit) {
  RamFixture f;
  f.ram()[5] = 0x81;
  f.pick("ComboBoxR", "R5");
  f.press("Button2");
  f.pick(bitComboName(3), "1");
  f.pick(bitComboName(3), "x");
  f.pick(bitComboName(0), "0");
  f.press("Button1");
  EXPECT_EQ(f.received(), setRegBits(5, 0x00, 0xFE));
  EXPECT_EQ(f.ram()[5], 0x80);
  EXPECT_TRUE(f.ticked(0)) << "the check boxes keep what they showed";
  EXPECT_TRUE(f.ticked(7));
  // A click on a check box is only a display change: nothing goes out.
  f.harness.ctrl().clearLogs();
  QTest::mouseClick(f.get<QCheckBox>(bitCheckName(2)), Qt::LeftButton);
  EXPECT_TRUE(f.received().empty());
  EXPECT_EQ(f.ram()[5], 0x80);
}

// ---- ROM dump --------------------------------------------------------------------

TEST(RamInspectorWindow, RomDumpShowsUpToEightBytesAfterTheDollarTyped) {
  struct Case {
    const char* address;  // typed after the "$" already in the field
    const char* count;
    quint16 at;
    std::uint8_t n;
    const char* shown;
  };
  // ROM from 0x7C00: AA BB CC DD 01 02 03 04 05 06 ...
  const Case cases[] = {
      {"7C00", "4", 0x7C00, 4, "AA BB  CC  DD "},
      {"7C00", "1", 0x7C00, 1, "AA"},
      {"7C00", "3", 0x7C00, 3, "AA BB  CC "},
      {"7C00", "8", 0x7C00, 8, "AA BB  CC  DD  01  02  03  04 "},
      {"7C00", "A", 0x7C00, 10, "AA BB  CC  DD  01  02  03  04 "},  // fetched, not shown
      {"7C00", "FF", 0x7C00, 255, "AA BB  CC  DD  01  02  03  04 "},
      {"7C03", "2", 0x7C03, 2, "DD 01 "},
      {"0", "2", 0x0000, 2, "5A A5 "},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.address << " " << c.count);
    RamFixture f;
    const std::uint8_t head[4] = {0xAA, 0xBB, 0xCC, 0xDD};
    std::copy(head, head + 4, f.rom().begin() + 0x7C00);
    for (int i = 0; i < 300; ++i) f.rom()[0x7C04 + i] = std::uint8_t(i + 1);
    f.rom()[0] = 0x5A;
    f.rom()[1] = 0xA5;
    QTest::keyClicks(f.get<QLineEdit>("EditAdrRdByte"), c.address);
    QTest::keyClicks(f.get<QLineEdit>("EditNumRdByte"), c.count);
    f.press("Button4");
    EXPECT_TRUE(f.messages.shown.isEmpty()) << f.messages.shown.join('|').toStdString();
    EXPECT_EQ(f.received(), rdRom(c.at, c.n));
    EXPECT_EQ(f.get<QLineEdit>("EditByteRD")->text(), c.shown);
  }
}

TEST(RamInspectorWindow, RomDumpTakesDecimalAndOtherPrefixesAndCountZeroKeepsTheText) {
  RamFixture f;
  f.rom()[0x7C00] = 0x11;
  f.rom()[0x7C01] = 0x22;
  f.type("EditAdrRdByte", "31744");  // 0x7C00 in decimal
  f.type("EditNumRdByte", " 2");
  f.press("Button4");
  EXPECT_EQ(f.received(), rdRom(0x7C00, 2));
  EXPECT_EQ(f.get<QLineEdit>("EditByteRD")->text(), "11 22 ");

  f.type("EditAdrRdByte", "0x1234");
  f.type("EditNumRdByte", "0");
  f.press("Button4");
  EXPECT_EQ(f.received(), rdRom(0x1234, 0)) << "the read goes out with count 0";
  EXPECT_EQ(f.get<QLineEdit>("EditByteRD")->text(), "11 22 ") << "and the field keeps its text";

  f.type("EditAdrRdByte", "$FFFF");
  f.type("EditNumRdByte", "$1");
  f.press("Button4");
  EXPECT_EQ(f.received(), rdRom(0xFFFF, 1));
  EXPECT_TRUE(f.messages.shown.isEmpty());
}

TEST(RamInspectorWindow, RomDumpRefusesABadAddressOrCountBeforeSendingAnything) {
  struct Case {
    const char* address;
    const char* count;
    const char* message;
  };
  const Case cases[] = {
      {"$", "$4", "'$' is not a valid integer value"},  // the field as first shown
      {"$7C00", "$", "'$' is not a valid integer value"},
      {"7C00", "4", "'7C00' is not a valid integer value"},  // hexadecimal needs its prefix
      {"$7C00", "four", "'four' is not a valid integer value"},
      {"", "4", "'' is not a valid integer value"},
      {"$7C00", "$4 ", "'$4 ' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    RamFixture f;
    f.type("EditAdrRdByte", c.address);
    f.type("EditNumRdByte", c.count);
    f.get<QLineEdit>("EditByteRD")->setText("old");
    f.press("Button4");
    EXPECT_EQ(f.messages.shown, QStringList{QString::fromUtf8(c.message)});
    EXPECT_TRUE(f.received().empty()) << "nothing is sent";
    EXPECT_EQ(f.get<QLineEdit>("EditByteRD")->text(), "old");
  }
}

// Like the main window's RAM read: the address is the number's low 16 bits,
// the count its low 8; nothing is refused for being larger.
TEST(RamInspectorWindow, RomDumpTakesTheLow16BitsOfTheAddressAndTheLow8OfTheCount) {
  struct Case {
    const char* address;
    const char* count;
    quint16 sentAddress;
    std::uint8_t sentCount;
  };
  const Case cases[] = {
      {"$17C00", "$104", 0x7C00, 4}, {"$10000", "4", 0x0000, 4},  {"-1", "4", 0xFFFF, 4},
      {"$7C00", "-2", 0x7C00, 0xFE}, {"$7C00", "256", 0x7C00, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.address + std::string(" ") + c.count);
    RamFixture f;
    f.type("EditAdrRdByte", c.address);
    f.type("EditNumRdByte", c.count);
    f.press("Button4");
    EXPECT_TRUE(f.messages.shown.isEmpty());
    EXPECT_EQ(f.received(), rdRom(c.sentAddress, c.sentCount));
  }
}

// ---- how the buttons act -----------------------------------------------------------

TEST(RamInspectorWindow, ButtonsActOnAnyMouseButtonsPressOnceAndNeverWhileTheLinkIsBusy) {
  RamFixture f;
  const Bytes reads[] = {rdRam(0x60, 8), rdRam(0, 1), setRegBits(0, 0x00, 0xFF)};
  const char* buttons[] = {"Button6", "Button2", "Button1"};
  for (int i = 0; i < 3; ++i) {
    SCOPED_TRACE(buttons[i]);
    for (Qt::MouseButton which : {Qt::RightButton, Qt::MiddleButton}) {
      f.press(buttons[i], which);
      EXPECT_EQ(f.received(), reads[i]);
    }
    f.harness.ctrl().clearLogs();
    QTest::mouseClick(f.get<QPushButton>(buttons[i]), Qt::LeftButton);
    EXPECT_EQ(f.received(), reads[i]) << "a click acts once, on its press";
    f.harness.ctrl().clearLogs();
    QTest::mouseRelease(f.get<QPushButton>(buttons[i]), Qt::LeftButton);
    EXPECT_TRUE(f.received().empty()) << "a release alone does nothing";
  }

  f.type("EditAdrRdByte", "$7C00");
  f.type("EditNumRdByte", "$4");
  ASSERT_TRUE(f.harness.link().tryBegin());
  for (const char* name : {"Button6", "Button2", "Button1", "Button4"}) {
    f.press(name);
    EXPECT_TRUE(f.received().empty()) << name;
  }
  f.harness.link().end();
  EXPECT_EQ(f.get<QLineEdit>("EditByteRD")->text(), "$");
  EXPECT_TRUE(f.messages.shown.isEmpty());
}

// ---- layout ------------------------------------------------------------------------

TEST(RamInspectorWindow, CombosOfferTheirItemsOnlyAndStartAtR0AndX) {
  RamFixture f;
  auto* reg = f.get<QComboBox>("ComboBoxR");
  ASSERT_EQ(reg->count(), 32);
  for (int r = 0; r < 32; ++r) EXPECT_EQ(reg->itemText(r), QString("R%1").arg(r));
  EXPECT_EQ(reg->currentText(), "R0");
  EXPECT_FALSE(reg->isEditable()) << "no typed register without an item";
  for (int k = 0; k < 8; ++k) {
    auto* box = f.get<QComboBox>(bitComboName(k));
    ASSERT_EQ(box->count(), 3);
    EXPECT_EQ(box->itemText(0), "x");
    EXPECT_EQ(box->itemText(1), "1");
    EXPECT_EQ(box->itemText(2), "0");
    EXPECT_EQ(box->currentText(), "x");
    EXPECT_FALSE(box->isEditable());
  }
  // Text typed into a combo box and confirmed never becomes an item of its own.
  for (QComboBox* box : {reg, f.get<QComboBox>(bitComboName(0))}) {
    const int items = box->count();
    box->setFocus();
    QTest::keyClicks(box, "R99");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->count(), items);
    EXPECT_GE(box->findText(box->currentText()), 0) << box->currentText().toStdString();
  }
}

TEST(RamInspectorWindow, DesignedCaptionsBitColumnsAndAccessibility) {
  RamFixture f;
  EXPECT_EQ(f.window.windowTitle(), "FormDopRAM");
  QStringList groups;
  for (auto* g : f.window.findChildren<QGroupBox*>()) groups << g->title();
  for (const char* title :
       {"Информация на индикаторах $60-$6D", "Изменение бита в регистре", "Чтение ROM"})
    EXPECT_TRUE(groups.contains(QString::fromUtf8(title))) << title;

  struct ButtonRow {
    const char *name, *caption, *group;
  };
  for (const ButtonRow& b :
       {ButtonRow{"Button6", "Чтение всех параметров", "Информация на индикаторах $60-$6D"},
        ButtonRow{"Button2", "Чтение", "Изменение бита в регистре"},
        ButtonRow{"Button1", "Запись", "Изменение бита в регистре"},
        ButtonRow{"Button4", "Чтение ПЗУ", "Чтение ROM"}}) {
    auto* button = f.get<QPushButton>(b.name);
    EXPECT_EQ(button->text(), QString::fromUtf8(b.caption));
    auto* group = qobject_cast<QGroupBox*>(button->parentWidget());
    ASSERT_NE(group, nullptr) << b.name;
    EXPECT_EQ(group->title(), QString::fromUtf8(b.group));
    EXPECT_EQ(button->accessibleName(), button->text()) << b.name;
  }

  // The ROM fields start with "$", and are named by their captions.
  struct FieldRow {
    const char *name, *caption;
  };
  QStringList labels;
  for (auto* l : f.window.findChildren<QLabel*>()) labels << l->text();
  for (const FieldRow& r :
       {FieldRow{"EditAdrRdByte", "Адрес чтения"}, FieldRow{"EditNumRdByte", "Кол-во байт"},
        FieldRow{"EditByteRD", "Данные"}}) {
    auto* e = f.get<QLineEdit>(r.name);
    EXPECT_EQ(e->text(), "$");
    EXPECT_EQ(e->accessibleName(), QString::fromUtf8(r.caption));
    EXPECT_TRUE(labels.contains(QString::fromUtf8(r.caption))) << r.caption;
  }
  EXPECT_TRUE(
      labels.contains("   7           6            5          4           3            2 "
                      "            1          0"));

  // Bit k: check box captioned k, combo box k; bit 7 on the left.
  for (int k = 0; k < 8; ++k) {
    auto* check = f.get<QCheckBox>(bitCheckName(k));
    EXPECT_EQ(check->text(), QString::number(k));
    auto* combo = f.get<QComboBox>(bitComboName(k));
    EXPECT_NEAR(check->geometry().center().x(), combo->geometry().center().x(), 30) << k;
    if (k > 0) {
      EXPECT_LT(check->geometry().x(), f.get<QCheckBox>(bitCheckName(k - 1))->geometry().x());
      EXPECT_LT(combo->geometry().x(), f.get<QComboBox>(bitComboName(k - 1))->geometry().x());
    }
  }

  // Every named control: its designed name as its automation id and a
  // readable accessible name that is not just that id.
  for (QWidget* w : f.window.findChildren<QWidget*>()) {
    const QString name = w->objectName();
    if (!(name.startsWith("Button") || name.startsWith("Edit") || name.startsWith("Combo") ||
          name.startsWith("CheckBox")))
      continue;
    SCOPED_TRACE(name.toStdString());
    EXPECT_EQ(w->accessibleDescription(), name);
    EXPECT_FALSE(w->accessibleName().isEmpty());
    EXPECT_NE(w->accessibleName(), name);
  }
}

}  // namespace
}  // namespace calorix
