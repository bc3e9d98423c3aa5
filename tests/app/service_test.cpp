// The service area: coefficients, set temperature, thermocouple channel, RAM
// and typed reads, raw bytes, ВЫКЛ НАГРЕВ.
#include <QTableWidget>
#include "pid/TFormRabPID.h"
#include "programs/TFormDataDide.h"
#include "programs/TFormVvodProg.h"

#include "tests/app/panel_fixture.h"
#include "tests/support/ConsoleHarness.h"
#include "tools/TFormDopParam.h"
#include "tools/TFormDopRAM.h"
#include "tools/TFormIzmKoef.h"

namespace calorix::testing {
namespace {

using ServiceTest = PanelTest;

Bytes ramBytes(LinkHarness& h, std::uint16_t addr, int n) {
  Bytes out;
  for (int i = 0; i < n; ++i) out.push_back(h.ctrl().memory().ram[addr + i]);
  return out;
}

TEST_F(ServiceTest, CoefficientsAreWrittenIn1616AndReadBackWithTheirSignFlags) {
  setEdit("EditPK", QStringLiteral("1.5"));
  setEdit("EditDK", QStringLiteral("-0.5"));
  setEdit("EditIK", QStringLiteral("2,25"));
  click("Button16");
  EXPECT_EQ(ramBytes(h, 0x90, 4), (Bytes{0x00, 0x80, 0x01, 0x00}));
  EXPECT_EQ(ramBytes(h, 0x98, 4), (Bytes{0x00, 0x80, 0xFF, 0xFF}));
  EXPECT_EQ(ramBytes(h, 0x94, 4), (Bytes{0x00, 0x40, 0x02, 0x00}));
  EXPECT_EQ(text("Edit1"), QStringLiteral("2"));  // the halves of the last write
  EXPECT_EQ(text("Edit2"), QStringLiteral("16384"));
  EXPECT_EQ(text("EditPK"), QStringLiteral("1.5"));

  setRam(0x03, {0x08 | 0x20});
  click("Button12");
  EXPECT_EQ(text("EditPK"), QStringLiteral("-1.5000"));
  EXPECT_EQ(text("EditDK"), QStringLiteral("--0.5000"));
  EXPECT_EQ(text("EditIK"), QStringLiteral("2.2500"));
}

TEST_F(ServiceTest, BadCoefficientStopsTheWritesThatFollowIt) {
  h.ctrl().memory().setRamDWord(0x94, 7);
  setEdit("EditPK", QStringLiteral("1"));
  setEdit("EditDK", QStringLiteral("x1"));
  setEdit("EditIK", QStringLiteral("3"));
  click("Button16");
  EXPECT_EQ(messages.shown,
            QStringList{QString::fromUtf8("Ошибка! Текстовое значение в поле ввода!")});
  EXPECT_EQ(h.ctrl().memory().ramDWord(0x90), 0x10000u);
  EXPECT_EQ(h.ctrl().memory().ramDWord(0x94), 7u);

  messages.shown.clear();
  setEdit("EditPK", QStringLiteral("1.2.3"));
  click("Button16");
  ASSERT_EQ(messages.shown.size(), 1);
  EXPECT_TRUE(messages.shown[0].endsWith(QStringLiteral("is not a valid floating point value")));
  EXPECT_EQ(h.ctrl().memory().ramDWord(0x90), 0x10000u);
}

TEST_F(ServiceTest, SetTemperatureRoundsHalvesToEven) {
  for (const auto& [typed, written] :
       {std::pair{"1000.5", 1000}, std::pair{"1001.5", 1002}, std::pair{" 7 5 0 ", 750}}) {
    setEdit("EditZadTemp", QString::fromLatin1(typed));
    click("Button14");
    EXPECT_EQ(qint32(h.ctrl().memory().ramDWord(0xDC)), written) << typed;
    setEdit("EditZadTemp", QString());
    click("Button13");
    EXPECT_EQ(text("EditZadTemp"), QString::number(written));
  }
}

TEST_F(ServiceTest, ThermocoupleChannelShowsItsFiveValues) {
  setRam(0x72, {0x34, 0xF2});
  h.ctrl().memory().setRamWord(0x7E, 41000);
  h.ctrl().memory().setRamDWord(0xC0, 0x00019000);
  setRam(0x70, {8, 25});  // fraction 8, whole 25
  h.ctrl().memory().setRamDWord(0xC4, 0xFFFFFF80);
  click("Button15");
  EXPECT_EQ(text("Edit3201U"), QStringLiteral("564"));
  EXPECT_EQ(text("Edit3201UKorr"), QStringLiteral("41000"));
  EXPECT_EQ(text("EditTT"), QStringLiteral("400.0000"));
  EXPECT_EQ(text("EditTD"), QStringLiteral("25,50"));
  EXPECT_EQ(text("EditTTKorr"), QStringLiteral("-0.5000"));
  setRam(0x70, {1});
  click("Button15");
  EXPECT_EQ(text("EditTD"), QStringLiteral("25,6"));
}

TEST_F(ServiceTest, RamReadTakesIntegerFieldsAndShowsAtMostEightBytes) {
  EXPECT_EQ(text("EditAdrRdByte"), QStringLiteral("$"));
  EXPECT_EQ(text("EditNumRdByte"), QStringLiteral("$"));
  press("Button24");
  EXPECT_EQ(messages.shown, QStringList{QStringLiteral("'$' is not a valid integer value")});
  EXPECT_EQ(received(), Bytes{});

  setRam(0x60, {0x0A, 0x1B, 0x2C, 3, 4, 5, 6, 7, 8, 9});
  setEdit("EditAdrRdByte", QStringLiteral("$60"));
  setEdit("EditNumRdByte", QStringLiteral("16"));
  press("Button24");
  EXPECT_EQ(received(), rdRamFrame(0x60, 16));
  EXPECT_EQ(text("EditByteRD"), QStringLiteral("0A 1B  2C  03  04  05  06  07 "));
}

TEST_F(ServiceTest, TypedReadsShowTheLastReadBytesHighestLeftmost) {
  h.ctrl().memory().setRamDWord(0x40, 0x0A0B0C0D);
  setEdit("Edit22", QStringLiteral("$40"));
  w<QPushButton>("Button10")->click();
  EXPECT_EQ(text("Edit21"), QString::number(0x0A0B0C0D));
  EXPECT_EQ(text("EditB0"), QStringLiteral("0DH"));
  EXPECT_EQ(text("EditB3"), QStringLiteral("0AH"));
  EXPECT_LT(w("EditB3")->x(), w("EditB2")->x());
  EXPECT_LT(w("EditB1")->x(), w("EditB0")->x());
  setEdit("Edit18", QStringLiteral("$41"));
  w<QPushButton>("Button8")->click();
  EXPECT_EQ(text("Edit17"), QStringLiteral("12"));
  EXPECT_EQ(text("EditB0"), QStringLiteral("0CH"));
  EXPECT_EQ(text("EditB1"), QStringLiteral("00H"));
}

TEST_F(ServiceTest, RawByteWriteSendsExactlyOneByteAfterAFrameRead) {
  h.link().RdPidFrame();  // leaves the frame length as the last transfer
  click("Button20");      // nothing pending
  EXPECT_EQ(text("Edit27"), QStringLiteral("0"));
  h.link().RdPidFrame();
  setEdit("Edit26", QStringLiteral("$141"));
  click("Button19");
  EXPECT_EQ(received(), Bytes{0x41});
  EXPECT_EQ(h.link().status().code, 0);
}

TEST_F(ServiceTest, StopHeatWorksWhileTheLinkIsBusy) {
  ASSERT_TRUE(h.link().tryBegin());
  click("Button11");
  h.link().end();
  EXPECT_EQ(run.StopHeatRequest, 1);
  EXPECT_EQ(w("Button11")->palette().color(QPalette::ButtonText), QColor(255, 0, 0));
}

// The whole console: app/ wires each window button to the window it shows.
TEST(ServiceWindowsTest, ButtonsShowTheirWindowsWithoutExchanging) {
  testApplication();
  ConsoleHarness h;
  h.start(QStringLiteral("[Vid prog]\r\nVidProg=5\r\n"));  // no layout: every button enabled
  h.ctrl().clearLogs();
  Console& c = h.console();
  TFormVvodProg& vvodProg = c.window<TFormVvodProg>();
  auto* grid = vvodProg.findChild<QTableWidget*>(QStringLiteral("StringGridRdProg"));
  ASSERT_NE(grid, nullptr);
  EXPECT_EQ(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  struct Opens {
    const char* button;
    QWidget* window;
    bool onPress;
  };
  for (const Opens& o :
       {Opens{"Button17", &vvodProg, false}, Opens{"Button18", &c.window<TFormIzmKoef>(), false},
        Opens{"Button25", &c.window<TFormDopParam>(), true},
        Opens{"Button26", &c.window<TFormDopRAM>(), true},
        Opens{"Button30", &c.window<TFormRabPID>(), true},
        Opens{"Button32", &c.window<TFormDataDide>(), true}}) {
    SCOPED_TRACE(o.button);
    QWidget* button = h.form1().findChild<QWidget*>(QString::fromLatin1(o.button));
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(o.window->isVisible());
    if (o.onPress)
      QTest::mousePress(button, Qt::RightButton, {}, button->rect().center());  // any mouse button
    else
      QTest::mouseClick(button, Qt::LeftButton, {}, button->rect().center());
    EXPECT_TRUE(o.window->isVisible());
  }
  // Изменение программ readies the table for editing as it shows it.
  EXPECT_NE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_EQ(h.ctrl().received(), Bytes{});
}

}  // namespace
}  // namespace calorix::testing
