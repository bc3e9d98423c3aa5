// The PID work window's buttons on the emulator: the reads, the amplifier
// write, the coefficient entries of a start, an abandoned start, a start that
// keeps no log, and TimerPid's busy tick.
#include "tests/pid/pid_fixture.h"

namespace calorix::testing {
namespace {

// ---- reads and the amplifier write ----------------------------------------------

TEST_F(PidWindowTest, ReadButtonsSendTheirReadsAndFillTheirFields) {
  setRam(0x7C, {7, 3});
  setRam(0xDC, {0x20, 0x03});
  setRam(0xAC, {0x10, 0x0E, 0x05, 0x00});
  setRam(0x88, {0x2C, 0x01});
  ram().setRamDWord(0x90, 0xFFFF8000);
  ram().setRamDWord(0x94, 0x00018000);
  ram().setRamDWord(0x98, 0x00000000);
  ram().setRamDWord(0x9C, 0x00028000);
  const struct {
    const char* button;
    Bytes frames;
    std::vector<std::pair<const char*, const char*>> fields;
  } cases[] = {
      {"Button4",
       cat({rdRam(0x7C, 2), rdRam(0xDC, 2), rdRam(0xAC, 4), rdRam(0x88, 2)}),
       {{"EditZNumP", "7"},
        {"EditZNumE", "3"},
        {"EditZTE", "800"},
        {"EditZTimeE", "3600"},
        {"EditZSE", "5"},
        {"EditZOtSt", "300"}}},
      {"Button2",
       cat({rdRam(0x90, 12), rdRam(0xDC, 2)}),
       {{"EditTecPK", "-0,5"}, {"EditTecIK", "1,5"}, {"EditTecDK", "0"}, {"EditTK", "800"}}},
      {"Button5", rdRam(0x9C, 4), {{"EditTecKUs", "2,5"}}},
  };
  for (const auto& c : cases) {
    h.ctrl().clearLogs();
    press(c.button, Qt::RightButton);  // any mouse button
    EXPECT_EQ(received(), c.frames) << c.button;
    for (const auto& [field, value] : c.fields) EXPECT_EQ(text(field), value) << field;
  }
  EXPECT_TRUE(messages.shown.isEmpty());
}

TEST_F(PidWindowTest, KeyboardActivationDoesNothing) {
  QPushButton* read = button("Button5");
  read->setFocus();
  QTest::keyClick(read, Qt::Key_Space);
  QTest::keyClick(read, Qt::Key_Return);
  read->click();
  EXPECT_EQ(received(), Bytes{});
  EXPECT_EQ(text("EditTecKUs"), "EditTecKUs");
}

TEST_F(PidWindowTest, AmplifierWriteSendsTheRegionalTextAsSixteenSixteen) {
  setText("EditTecKUs", "2,5");
  press("Button6");
  EXPECT_EQ(received(), wrRam(0x9C, {0x00, 0x80, 0x02, 0x00}));
  // A point is no decimal separator here: the message, and nothing written.
  h.ctrl().clearLogs();
  setText("EditTecKUs", "2.5");
  press("Button6");
  EXPECT_EQ(received(), Bytes{});
  EXPECT_EQ(messages.shown, QStringList{"'2.5' is not a valid floating point value"});
}

// ---- the coefficient entries of a start -----------------------------------------

struct EntryCase {
  const char* entry;  // typed into EditPK, EditIK and EditDK
  // The 16.16 bytes written for each, when the start goes on.
  std::optional<std::array<std::uint8_t, 4>> written;
  const char* message;  // "" for none
  int messages;         // how often it is shown
  const char* scratch;  // EditTemp afterwards
  const char* shown;    // EditTecPK from the first frame ("" when abandoned)
};

// The entry names the case in the test's name (the default prints raw bytes,
// addresses included, which change from run to run).
void PrintTo(const EntryCase& c, std::ostream* os) {
  *os << '"' << c.entry << '"';
}

class PidEntryTest : public PidWindowTest, public ::testing::WithParamInterface<EntryCase> {};

TEST_P(PidEntryTest, StartWritesTheParsedCoefficientsOrReturnsToIdle) {
  const EntryCase& c = GetParam();
  const QString entry = QString::fromUtf8(c.entry);
  tick("CheckBox2", true);
  for (const char* field : {"EditPK", "EditIK", "EditDK"}) setText(field, entry);
  press("Button1");

  const Bytes ownCoefsOn = setRegBits(0x0E, 0x01, 0xFF);
  if (c.written) {
    Bytes coefs;
    for (int i = 0; i < 3; ++i) coefs.insert(coefs.end(), c.written->begin(), c.written->end());
    EXPECT_EQ(received(),
              cat({ownCoefsOn, wrRam(0x90, coefs), setRegBits(0x05, 0x04, 0xFF), panelKey(0x01)}));
    EXPECT_EQ(run.PidRunActive, 1);
    // Read back from the controller in the first frame.
    EXPECT_EQ(text("EditTecPK"), QString::fromUtf8(c.shown));
    EXPECT_TRUE(timer->TimerPid().isActive());
    EXPECT_FALSE(button("Button1")->isVisible());
    EXPECT_TRUE(button("Button3")->isVisible());
    EXPECT_TRUE(button("Button3")->isEnabled());
  } else {
    // Abandoned before the controller was switched on: R14 bit 0 is taken
    // back, no log is opened, no key code goes out, the window is idle again.
    EXPECT_EQ(received(), cat({ownCoefsOn, setRegBits(0x0E, 0x00, 0xFE)}));
    EXPECT_EQ(ram().reg(14) & 0x01, 0);
    EXPECT_EQ(run.PidRunActive, 0);
    EXPECT_EQ(run.Owner, RunOwner::None);
    EXPECT_FALSE(h.link().dataLogOpen());
    EXPECT_FALSE(timer->TimerPid().isActive());
    EXPECT_TRUE(button("Button1")->isVisible());
    EXPECT_TRUE(button("Button1")->isEnabled());
    EXPECT_FALSE(button("Button3")->isVisible());
    EXPECT_FALSE(button("Button3")->isEnabled());
  }
  QStringList expectedMessages;
  for (int i = 0; i < c.messages; ++i) expectedMessages << QString::fromUtf8(c.message);
  EXPECT_EQ(messages.shown, expectedMessages);
  EXPECT_EQ(text("EditTemp"), QString::fromUtf8(c.scratch));
  EXPECT_EQ(text("EditPK"), entry);  // the field keeps the operator's text
}

using B4 = std::array<std::uint8_t, 4>;
const char* const kBadText = "Ошибка! Текстовое значение в поле ввода!";
INSTANTIATE_TEST_SUITE_P(
    Entries, PidEntryTest,
    ::testing::Values(
        EntryCase{"1,5", B4{0x00, 0x80, 0x01, 0x00}, "", 0, "1,5", "1,5"},
        EntryCase{"1.5", B4{0x00, 0x80, 0x01, 0x00}, "", 0, "1,5", "1,5"},
        // The sign is taken off before the conversion that EditTemp shows.
        EntryCase{"-0.5", B4{0x00, 0x80, 0xFF, 0xFF}, "", 0, "0,5", "-0,5"},
        // 0.5 / 65536 is half a step: to the even neighbour 0.
        EntryCase{"0,00000762939453125", B4{0, 0, 0, 0}, "", 0, "0,00000762939453125", "0"},
        // Spaces are not removed: a space fails the character check, 0 is
        // used, once per field, and EditTemp converted nothing.
        EntryCase{"2 5", B4{0, 0, 0, 0}, kBadText, 3, "EditTemp", "0"},
        EntryCase{"", B4{0, 0, 0, 0}, kBadText, 3, "EditTemp", "0"},
        EntryCase{"1..5", std::nullopt, "'1,.5' is not a valid floating point value", 1, "1,.5",
                  ""},
        // A lone minus passes the checks and fails its conversion.
        EntryCase{"-", std::nullopt, "'' is not a valid floating point value", 1, "", ""},
        EntryCase{"40000", std::nullopt, "Ошибка! Значение '40000' вне допустимого диапазона", 1,
                  "40000", ""}));

// ---- runs that keep no log, and runs that may not start --------------------------

TEST_F(PidWindowTest, WithoutTheLogBoxNoLineGoesIntoAnotherOpenLog) {
  h.link().OpenDataLog();  // a log of some other work, still open
  const QString other = h.link().dataLogPath();
  tick("CheckBox1", false);
  press("Button1");
  timer->tick();
  press("Button3");
  timer->tick();
  EXPECT_EQ(text("EditNumIzm"), "3");
  EXPECT_EQ(fileLines(other), QStringList{});
  EXPECT_TRUE(h.link().dataLogOpen());  // not this run's to close
  EXPECT_EQ(dataLogFiles().size(), 1);
  // Without the log box R5 bit 2 is neither set nor needed; the stop clears it all the same.
  EXPECT_EQ(received(), cat({panelKey(0x01), panelKey(0x01), setRegBits(5, 0, 0xFB),
                             setRegBits(0x0E, 0, 0xFD), setRegBits(0x0E, 0, 0xFE)}));
}

TEST_F(PidWindowTest, TickThatFindsTheLinkBusyIsDeferredNotLost) {
  tick("CheckBox1", false);
  press("Button1");
  ASSERT_EQ(text("EditNumIzm"), "1");
  ASSERT_TRUE(h.link().tryBegin());
  timer->tick();
  EXPECT_EQ(text("EditNumIzm"), "1");
  EXPECT_TRUE(timer->TimerPid().isActive());
  EXPECT_EQ(timer->TimerPid().interval(), PidRun::kBusyRetryMs);
  h.link().end();
  timer->tick();
  EXPECT_EQ(text("EditNumIzm"), "2");
  EXPECT_EQ(timer->TimerPid().interval(), 4000);
}

}  // namespace
}  // namespace calorix::testing
