// A whole PID-window run on the emulator: the start with all three boxes
// ticked, three TimerPid ticks, "Выкл нагрева" and the tick that stops; the
// bytes the controller received and the run log byte for byte.
#include <QRegularExpression>

#include "tests/pid/pid_fixture.h"

namespace calorix::testing {
namespace {

// The line stamps of the frame reads, as the protocol recorded them: the data
// line of a frame is stamped the moment the frame is in.
QStringList frameReadStamps(const QStringList& protocol) {
  QStringList stamps;
  static const QRegularExpression frameRead(
      QString::fromUtf8(R"(^(\d\d:\d\d:\d\d):\d\d ReadFile 310 код из 310 )"));
  for (const QString& line : protocol)
    if (const auto m = frameRead.match(line); m.hasMatch()) stamps << m.captured(1) + ' ';
  return stamps;
}

QString dataLine(const QString& n, const QString& stamp, const char* temperature,
                 const char* previousError) {
  const QStringList fields{n,       stamp,  QString::fromLatin1(temperature),
                           "  0  ", "-2,5", QString::fromLatin1(previousError),
                           "0",     "80",   "37",
                           "37",    "0",    "0",
                           "0",     "0",    "0",
                           "0",     "400",  QString::fromLatin1(temperature),
                           "0",     "0",    "+0",
                           "+0",    "0"};
  return fields.join("  ;  ");
}

TEST_F(PidWindowTest, RunFromStartToStopOnTheWireAndInItsLog) {
  ram().setRamDWord(0xC4, 400 * 256 + 128);  // 400,5
  ram().setRamDWord(0xC0, 400 * 256);
  ram().setRamDWord(0xA4, 0x0280);  // error 2,5
  setRam(0x03, {0x80});             // ... negative
  ram().setRamDWord(0xBC, 37);
  setRam(0x7B, {80});
  setRam(0x77, {37});
  setRam(0x08, {0x01});
  ram().setRamWord(0xDC, 500);
  tick("CheckBox2", true);
  tick("CheckBox3", true);
  setText("EditPK", "1,5");
  setText("EditIK", "0.25");
  setText("EditDK", "-2");

  const int purgesBefore = h.port()->purgeCount();
  press("Button1");
  EXPECT_EQ(
      received(),
      cat({setRegBits(0x0E, 0x01, 0xFF),
           wrRam(0x90, {0x00, 0x80, 0x01, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x00, 0xFE, 0xFF}),
           setRegBits(0x05, 0x04, 0xFF), setRegBits(0x0E, 0x02, 0xFF), panelKey(0x01)}));
  EXPECT_EQ(h.port()->purgeCount(), purgesBefore + 1);
  EXPECT_EQ(run.PidRunActive, 1);
  EXPECT_EQ(run.Owner, RunOwner::PidWindow);
  EXPECT_EQ(text("EditNumIzm"), "1");
  EXPECT_EQ(text("EditN"), QString::fromUtf8("НАГРЕВ"));
  EXPECT_EQ(text("Edit12"), "3");  // R14 with both bits of the start
  EXPECT_TRUE(timer->TimerPid().isActive());
  EXPECT_EQ(timer->TimerPid().interval(), 4000);

  h.ctrl().clearLogs();
  const std::uint32_t temperatures[] = {401 * 256 + 64, 402 * 256, 403 * 256 + 192};
  for (std::uint32_t t : temperatures) {
    ram().setRamDWord(0xC4, t);
    timer->tick();
    EXPECT_TRUE(timer->TimerPid().isActive());
    EXPECT_EQ(timer->TimerPid().interval(), 4000);
  }
  EXPECT_EQ(received(), Bytes{});  // the ticks only listen
  EXPECT_EQ(text("EditNumIzm"), "4");

  press("Button3");
  EXPECT_EQ(run.PidStopRequest, 1);
  EXPECT_FALSE(button("Button3")->isVisible());
  EXPECT_TRUE(button("Button1")->isVisible());
  EXPECT_FALSE(button("Button1")->isEnabled());
  EXPECT_EQ(received(), Bytes{});  // the request itself sends nothing

  const QString logPath = h.link().dataLogPath();
  ram().setRamDWord(0xC4, 404 * 256);
  timer->tick();
  EXPECT_EQ(received(), cat({panelKey(0x01), setRegBits(0x05, 0x00, 0xFB),
                             setRegBits(0x0E, 0x00, 0xFD), setRegBits(0x0E, 0x00, 0xFE)}));
  EXPECT_EQ(ram().reg(5) & 0x04, 0);
  EXPECT_EQ(ram().reg(14) & 0x03, 0);
  EXPECT_EQ(panelReads, 1);
  EXPECT_EQ(run.PidRunActive, 0);
  EXPECT_EQ(run.PidStopRequest, 0);
  EXPECT_EQ(run.Owner, RunOwner::None);
  EXPECT_FALSE(timer->TimerPid().isActive());
  EXPECT_FALSE(h.link().dataLogOpen());
  EXPECT_TRUE(button("Button1")->isEnabled());
  EXPECT_EQ(text("EditNumIzm"), "5");  // the last number stays after the stop

  const QStringList protocol = fileLines(h.link().protocolPath());
  const QStringList stamps = frameReadStamps(protocol);
  ASSERT_EQ(stamps.size(), 5);
  EXPECT_EQ(protocol.filter(QString::fromUtf8(" Начало чтения по срабатыванию таймера")).size(), 4);

  const QStringList expected = {
      QString::fromUtf8("Данные работы PIDа   PK = 1,5   DK = -2   IK = 0,25   ZadTemp = "
                        "500ZadSpeed = EditZSE"),
      QString::fromUtf8(
          "  1 номер ;  2 время   ;  3темп  ;  3-1скор  ;  4 разн темп ;  5 пред разн ;  6 сум "
          "разн ;  7 огр м скор;  8 расч мощ ;  9 мощн на нагр ; 10  PUV; 11 IUV ; 12 DUV ; 13 "
          "датч комн ; 14 U терм; 15 темп терм т; 16 темп терм отк; 17 темп тек; 18 скорость "
          "нагрева; 19 заданная скорость; 20 проп возд; 21 сумма ошибок инт; 22 мощность для "
          "скорости;"),
      dataLine("1", stamps[0], "400,5", "0"),
      dataLine("2", stamps[1], "401,25", "-2,5"),
      dataLine("3", stamps[2], "402", "-2,5"),
      dataLine("4", stamps[3], "403,75", "-2,5"),
      dataLine("5", stamps[4], "404", "-2,5"),
  };
  QFile log(logPath);
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_EQ(log.readAll(), cp1251::encode(expected.join("\r\n") + "\r\n"));
}

// The cycles of a run stay findable in the protocol when the transfers are
// not traced.
class UntracedPidWindowTest : public PidWindowTest {
 public:
  UntracedPidWindowTest() { traced = false; }
};

TEST_F(UntracedPidWindowTest, TimerLineIsWrittenWhateverTheProtocolSwitch) {
  press("Button1");
  timer->tick();
  timer->tick();
  const QStringList protocol = fileLines(h.link().protocolPath());
  ASSERT_EQ(protocol.size(), 3);
  EXPECT_EQ(protocol[0], QString::fromUtf8("Данные работы RS485   "));
  static const QRegularExpression timerLine(
      QString::fromUtf8(R"(^\d\d:\d\d:\d\d:\d\d Начало чтения по срабатыванию таймера$)"));
  EXPECT_TRUE(timerLine.match(protocol[1]).hasMatch()) << protocol[1].toStdString();
  EXPECT_TRUE(timerLine.match(protocol[2]).hasMatch()) << protocol[2].toStdString();
}

}  // namespace
}  // namespace calorix::testing
