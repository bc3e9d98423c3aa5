#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include "app/WindowContext.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/WindowFixture.h"
#include "tools/TFormDopRAM.h"

namespace calorix {
namespace {

struct RamFixture : testing::WindowFixture {
  TFormDopRAM window{ctx};
  template <class W>
  W* get(const char* name) {
    return window.findChild<W*>(name);
  }
};

TEST(RamInspectorWindow, IndicationBytesRegisterBitsAndMasks) {
  RamFixture f;
  auto& ram = f.harness.ctrl().memory().ram;
  const std::uint8_t ind[8] = {0x3F, 0x06, 0x5B, 0x4F, 0x66, 0x6D, 0x7D, 0x07};
  std::copy(ind, ind + 8, ram.begin() + 0x60);
  QTest::mousePress(f.get<QPushButton>("Button6"), Qt::LeftButton);
  EXPECT_EQ(f.get<QLineEdit>("EditDigit01")->text(), "3F 06");
  EXPECT_EQ(f.get<QLineEdit>("EditDigit23")->text(), "5B 4F");
  EXPECT_EQ(f.get<QLineEdit>("EditDigit4567")->text(), "66 6D 7D 07");

  ram[5] = 0x81;
  f.get<QComboBox>("ComboBoxR")->setCurrentIndex(5);
  QTest::mousePress(f.get<QPushButton>("Button2"), Qt::LeftButton);
  for (int k = 0; k < 8; ++k)
    EXPECT_EQ(f.get<QCheckBox>(QString("CheckBox%1").arg(k + 1).toLatin1())->isChecked(),
              k == 0 || k == 7)
        << k;

  ram[5] = 0x01;
  f.get<QComboBox>("ComboBox7")->setCurrentIndex(1);  // "1"
  f.get<QComboBox>("ComboBox0")->setCurrentIndex(2);  // "0"
  QTest::mousePress(f.get<QPushButton>("Button1"), Qt::LeftButton);
  EXPECT_EQ(ram[5], 0x80);  // OR 0x80, AND 0xFE
}

TEST(RamInspectorWindow, RomDumpShowsUpToEightBytesAndRefusesBadFields) {
  RamFixture f;
  auto& rom = f.harness.ctrl().memory().rom;
  const std::uint8_t bytes[4] = {0xAA, 0xBB, 0xCC, 0x0D};
  std::copy(bytes, bytes + 4, rom.begin() + 0x7C00);
  QTest::mousePress(f.get<QPushButton>("Button4"), Qt::LeftButton);
  EXPECT_EQ(f.messages.shown, QStringList{"'$' is not a valid integer value"});
  f.get<QLineEdit>("EditAdrRdByte")->setText("$7C00");
  f.get<QLineEdit>("EditNumRdByte")->setText("$4");
  QTest::mousePress(f.get<QPushButton>("Button4"), Qt::LeftButton);
  EXPECT_EQ(f.get<QLineEdit>("EditByteRD")->text(), "AA BB  CC  0D ");
  f.get<QLineEdit>("EditNumRdByte")->setText("0");
  QTest::mousePress(f.get<QPushButton>("Button4"), Qt::LeftButton);
  EXPECT_EQ(f.get<QLineEdit>("EditByteRD")->text(), "AA BB  CC  0D ");
  f.get<QLineEdit>("EditNumRdByte")->setText("256");
  QTest::mousePress(f.get<QPushButton>("Button4"), Qt::LeftButton);
  EXPECT_EQ(f.messages.shown.last(), QString::fromUtf8("Значение 256 вне диапазона 0..255"));
}

}  // namespace
}  // namespace calorix
