// The panel read-out, the blinking and the link-light cycle on the window.
#include "tests/app/panel_fixture.h"

namespace calorix::testing {
namespace {

using ReadOutTest = PanelTest;

QStringList readOutNotes() {
  return {QString::fromUtf8("начало пп RdInd_IndPanel"),
          QString::fromUtf8("чтение ОЗУ ст. адрес 60H 10H байт"),
          QString::fromUtf8("чтение ОЗУ индикации"),
          QString::fromUtf8("чтение ОЗУ ст. адрес 11H 1H байт FlagMigInd"),
          QString::fromUtf8("чтение ОЗУ ст. адрес 2H 1H байт"),
          QString::fromUtf8("считывание вкл светодиода нагревателя"),
          QString::fromUtf8("конец пп RdInd_IndPanel")};
}

const QColor kRed(255, 0, 0), kLime(0, 255, 0), kYellow(255, 255, 0), kSilver(192, 192, 192);

TEST_F(ReadOutTest, PaintsDisplaysBarsLampsAndHeaterFromTheControllerBytes) {
  // program 1 2, stage 1 0, parameter 4 5, 6 7 with the point on digit 2,
  // heating 3, stabilisation 0, cooling 2, lamps t°C and °C/мин.
  setRam(0x60, {1, 12, 1, 0, 4, 0x45, 6, 7, 3, 0, 2, 0, 0x05});
  setRam(0x0B, {0x10});
  setRam(0x02, {0x02});
  press("Button33");

  EXPECT_EQ(text("EditProg"), QStringLiteral("112"));
  EXPECT_EQ(text("EditStup"), QStringLiteral("10"));
  EXPECT_EQ(text("EditParam"), QStringLiteral(" 45,67"));
  EXPECT_EQ(text("EditNagrev"), QStringLiteral("III"));
  EXPECT_EQ(textColor("EditNagrev"), kRed);
  EXPECT_EQ(text("EditStabil"), QStringLiteral("IIIIIIIIII"));
  EXPECT_EQ(textColor("EditStabil"), kSilver);
  EXPECT_EQ(text("EditOstuv"), QStringLiteral("        II"));
  EXPECT_EQ(textColor("EditOstuv"), kYellow);
  EXPECT_EQ(circle("SvGrad"), kLime);
  EXPECT_EQ(circle("SvMin"), kSilver);
  EXPECT_EQ(circle("SvSpeed"), kLime);
  EXPECT_EQ(circle("SvPuskStop"), kRed);
  EXPECT_EQ(panel->blinkFlags(), 0x10);
  EXPECT_EQ(panel->programDisplayText(), QStringLiteral("112"));
  EXPECT_EQ(received(), readOutFrames());
  EXPECT_EQ(notesAmong(readOutNotes()), readOutNotes());

  // A level above 10 lights the bar and keeps its text; the heater goes out.
  setRam(0x68, {11, 7, 0});
  setRam(0x65, {0x43});
  setRam(0x02, {0x00});
  press("Button29");  // Чтение состояния reads the same way
  EXPECT_EQ(text("EditParam"), QStringLiteral(" 43,67"));
  EXPECT_EQ(text("EditNagrev"), QStringLiteral("III"));
  EXPECT_EQ(textColor("EditNagrev"), kRed);
  EXPECT_EQ(text("EditStabil"), QStringLiteral("III"));
  EXPECT_EQ(textColor("EditStabil"), kLime);
  EXPECT_EQ(text("EditOstuv"), QStringLiteral("IIIIIIIIII"));
  EXPECT_EQ(textColor("EditOstuv"), kSilver);
  EXPECT_EQ(circle("SvPuskStop"), kSilver);
}

TEST_F(ReadOutTest, BrokenLinkStopsAfterTheFirstReadAndLeavesThePanelAlone) {
  h.breakLink();
  ASSERT_EQ(h.link().FlagLinkBreak(), 1);
  setRam(0x60, {1, 2, 3, 4});
  press("Button33");
  EXPECT_EQ(text("EditProg"), QStringLiteral("8.8."));
  EXPECT_EQ(text("EditParam"), QStringLiteral("8.8.8.8."));
  EXPECT_EQ(received(), Bytes{0x05});
  EXPECT_EQ(notesAmong(readOutNotes()), readOutNotes().mid(0, 2));
}

TEST_F(ReadOutTest, BlinkingDarkensOnlyTheDisplaysWhoseFlagsAreSet) {
  const QColor off = colors::kActiveBorder;
  struct Case {
    std::uint8_t flags;
    bool program, stage, parameter;
  };
  for (const Case& c : {Case{0x10, false, false, true}, Case{0x01, true, false, false},
                        Case{0x02, true, false, false}, Case{0x0C, false, true, false},
                        Case{0x00, false, false, false}}) {
    SCOPED_TRACE(int(c.flags));
    setRam(0x0B, {c.flags});
    press("Button33");
    // Two ticks: the first phase lights every display, the second darkens
    // the flagged ones.
    panel->TimerMigIndTick();
    for (const char* name : {"EditProg", "EditStup", "EditParam"}) EXPECT_EQ(textColor(name), kRed);
    panel->TimerMigIndTick();
    EXPECT_EQ(textColor("EditProg"), c.program ? off : kRed);
    EXPECT_EQ(textColor("EditStup"), c.stage ? off : kRed);
    EXPECT_EQ(textColor("EditParam"), c.parameter ? off : kRed);
    EXPECT_TRUE(panel->timerMigInd()->isActive());
    EXPECT_EQ(panel->timerMigInd()->interval(), 600);
  }
}

TEST_F(ReadOutTest, LinkLightCycleReadsThePanelOncePerRoundAndRestsWhenPaused) {
  EXPECT_FALSE(panel->timer1()->isActive());
  press("Button28");  // Возобновление связи
  EXPECT_TRUE(panel->timer1()->isActive());
  struct Step {
    QColor light;
    int period;
    bool reads;
  };
  const Step steps[] = {{QColor(0, 128, 0), 200, false},
                        {kYellow, 25, false},
                        {kRed, 200, false},
                        {kYellow, 25, false},
                        {QColor(0, 0, 255), 25, true},
                        {kYellow, 25, false}};
  for (int round = 0; round < 2; ++round) {
    for (const Step& s : steps) {
      h.ctrl().clearLogs();
      panel->Timer1Tick();
      EXPECT_EQ(circle("ShapeTimer1"), s.light);
      EXPECT_EQ(panel->timer1()->interval(), s.period);
      EXPECT_TRUE(panel->timer1()->isActive());
      EXPECT_EQ(received(), s.reads ? readOutFrames() : Bytes{});
    }
  }
  const QStringList lines = notesAmong(
      {QString::fromUtf8("начало работы пп Timer1"), QString::fromUtf8("конец работы пп Timer1"),
       QString::fromUtf8("вкл индикатора зеленый"), QString::fromUtf8("вкл индикатора синий")});
  EXPECT_EQ(lines.first(), QString::fromUtf8("начало работы пп Timer1"));
  EXPECT_EQ(lines[1], QString::fromUtf8("вкл индикатора зеленый"));
  EXPECT_EQ(lines[2], QString::fromUtf8("конец работы пп Timer1"));
  EXPECT_EQ(lines.count(QString::fromUtf8("вкл индикатора синий")), 2);

  // Paused: state 0 still turns green, state 1 rests yellow with the timer off.
  press("Button27");
  panel->Timer1Tick();
  panel->Timer1Tick();
  EXPECT_EQ(circle("ShapeTimer1"), kYellow);
  EXPECT_FALSE(panel->timer1()->isActive());
  EXPECT_EQ(panel->pollState(), 1);
  press("Button28");  // resumes at state 1
  EXPECT_TRUE(panel->timer1()->isActive());
  panel->Timer1Tick();
  EXPECT_EQ(panel->pollState(), 2);
  panel->Timer1Tick();
  EXPECT_EQ(circle("ShapeTimer1"), kRed);
}

TEST_F(ReadOutTest, ClickDuringAReadOutIsRefusedAndABusyTickComesBackLater) {
  // A press on Прог. that arrives while the read-out lets events run.
  QWidget* prog = w("ShapeProgTop");
  const QPoint at = prog->rect().center();
  QCoreApplication::postEvent(
      prog, new QMouseEvent(QEvent::MouseButtonPress, at, prog->mapToGlobal(at), Qt::LeftButton,
                            Qt::LeftButton, Qt::NoModifier));
  press("Button33");
  EXPECT_EQ(received(), readOutFrames());

  // A link-light tick that finds the link busy keeps its state and re-arms shortly.
  ASSERT_TRUE(h.link().tryBegin());
  panel->Timer1Tick();
  EXPECT_EQ(panel->pollState(), 0);
  EXPECT_TRUE(panel->timer1()->isActive());
  EXPECT_EQ(panel->timer1()->interval(), 50);
  h.link().end();
  panel->Timer1Tick();
  EXPECT_EQ(panel->pollState(), 1);
}

}  // namespace
}  // namespace calorix::testing
