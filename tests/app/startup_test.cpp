// Start-up of the console: the view modes and the access lock, the title, a
// settings file that cannot be written, closing and the password window.
#include <gtest/gtest.h>

#include <ostream>

#include <QApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <array>
#include <csignal>
#include <optional>

#include "app/CommandLine.h"
#include "app/Startup.h"
#include "app/TForm2.h"
#include "core/Cp1251.h"
#include "link/IniFile.h"
#include "link/Settings.h"
#include "pid/TFormRabPID.h"
#include "programs/TFormDataDide.h"
#include "programs/TFormVvodProg.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/StartupFiles.h"
#include "tests/support/TestApplication.h"
#include "tools/TFormDopParam.h"
#include "tools/TFormDopRAM.h"
#include "tools/TFormIzmKoef.h"
#include "ui/OuterSize.h"

#ifdef Q_OS_UNIX
#include <pty.h>
#include <unistd.h>
#endif

using calorix::testing::ConsoleHarness;

namespace calorix {
namespace {

QApplication& app() {
  return testing::testApplication();
}

using testing::codesInFile;
using testing::protocolFileOf;
using testing::Triple;
constexpr Triple kOneOff{61829374, 80471593, 57206149};  // unlocked but for the last value

QString iniWith(int vidProg, const Triple& codes) {
  return QStringLiteral(
             "[Vid prog]\r\nVidProg=%1\r\nCodeProg1=%2\r\nCodeProg2=%3\r\nCodeProg3=%4\r\n")
      .arg(vidProg)
      .arg(codes[0])
      .arg(codes[1])
      .arg(codes[2]);
}

struct ButtonsEnabled {
  bool obnovit, dannyePechi, rabotaSPidom;
  bool operator==(const ButtonsEnabled&) const = default;
};

ButtonsEnabled buttonsOf(PanelMirror& panel) {
  return {panel.button33()->isEnabled(), panel.button32()->isEnabled(),
          panel.button30()->isEnabled()};
}

void PrintTo(const ButtonsEnabled& b, std::ostream* os) {
  *os << "{33:" << b.obnovit << " 32:" << b.dannyePechi << " 30:" << b.rabotaSPidom << "}";
}

class StartupTest : public ::testing::Test {
 protected:
  void SetUp() override { app(); }
};

// ---- view modes and the access lock ---------------------------------------

struct ViewCase {
  const char* name;
  int vidProg;
  Triple codesBefore;
  std::optional<QString> typed;  // empty: Edit1 left as designed
  bool asked;
  QSize outer;
  ButtonsEnabled buttons;
  Triple codesAfter;
};
// Test names show the case, not its bytes.
void PrintTo(const ViewCase& c, std::ostream* os) {
  *os << c.name;
}

class ViewModeTest : public StartupTest, public ::testing::WithParamInterface<ViewCase> {};

TEST_P(ViewModeTest, LayoutPasswordAndMarkers) {
  const ViewCase& c = GetParam();
  ConsoleHarness h;
  h.password = c.typed;
  h.start(iniWith(c.vidProg, c.codesBefore));
  const QString fileAfterCreation = h.harness().iniText();
  h.show();

  EXPECT_EQ(h.passwordAsked, c.asked ? 1 : 0);
  EXPECT_EQ(outerSizeOf(h.form1()), c.outer);
  EXPECT_EQ(buttonsOf(h.panel()), c.buttons);
  EXPECT_EQ(codesInFile(h.harness().iniPath()), c.codesAfter);
  EXPECT_EQ(h.form1().codes(), c.codesAfter);
  // Only the right password writes at the first show.
  const bool unlocked = c.asked && c.typed == kAccessPassword;
  if (!unlocked) {
    EXPECT_EQ(h.harness().iniText(), fileAfterCreation);
  }
  EXPECT_TRUE(h.messages.shown.isEmpty()) << h.messages.shown.join("|").toStdString();
}

const QString kRight = QStringLiteral("52738416");

INSTANTIATE_TEST_SUITE_P(Matrix, ViewModeTest,
                         ::testing::Values(ViewCase{"Mode1Relocks",
                                                    1,
                                                    kUnlockedCodes,
                                                    kRight,
                                                    false,
                                                    {736, 405},
                                                    {false, false, false},
                                                    kLockedCodes},
                                           ViewCase{"Mode2Relocks",
                                                    2,
                                                    kUnlockedCodes,
                                                    {},
                                                    false,
                                                    {736, 405},
                                                    {false, true, false},
                                                    kLockedCodes},
                                           ViewCase{"Mode1KeepsForeignTriple",
                                                    1,
                                                    kOneOff,
                                                    {},
                                                    false,
                                                    {736, 405},
                                                    {false, false, false},
                                                    kOneOff},
                                           ViewCase{"Mode3OneValueOffAsks",
                                                    3,
                                                    kOneOff,
                                                    kRight,
                                                    true,
                                                    {736, 405},
                                                    {false, true, true},
                                                    kUnlockedCodes},
                                           ViewCase{"Mode3WrongReduces",
                                                    3,
                                                    kLockedCodes,
                                                    QStringLiteral("1234"),
                                                    true,
                                                    {730, 401},
                                                    {false, false, false},
                                                    kLockedCodes},
                                           ViewCase{"Mode4RightUnlocks",
                                                    4,
                                                    kLockedCodes,
                                                    kRight,
                                                    true,
                                                    {1180, 953},
                                                    {true, true, true},
                                                    kUnlockedCodes},
                                           ViewCase{"Mode4WrongReduces",
                                                    4,
                                                    kLockedCodes,
                                                    QStringLiteral("52738417"),
                                                    true,
                                                    {730, 401},
                                                    {false, false, false},
                                                    kLockedCodes},
                                           ViewCase{"Mode4DesignedTextIsWrong",
                                                    4,
                                                    kLockedCodes,
                                                    {},
                                                    true,
                                                    {730, 401},
                                                    {false, false, false},
                                                    kLockedCodes},
                                           ViewCase{"Mode4NoTrimming",
                                                    4,
                                                    kLockedCodes,
                                                    QStringLiteral("52738416 "),
                                                    true,
                                                    {730, 401},
                                                    {false, false, false},
                                                    kLockedCodes},
                                           ViewCase{"Mode4EmptyIsWrong",
                                                    4,
                                                    kLockedCodes,
                                                    QString(),
                                                    true,
                                                    {730, 401},
                                                    {false, false, false},
                                                    kLockedCodes},
                                           ViewCase{"Mode4UnlockedAsksNothing",
                                                    4,
                                                    kUnlockedCodes,
                                                    {},
                                                    false,
                                                    {1180, 953},
                                                    {true, true, true},
                                                    kUnlockedCodes},
                                           ViewCase{"Mode5NoLayoutNoLock",
                                                    5,
                                                    kLockedCodes,
                                                    {},
                                                    false,
                                                    {736, 405},
                                                    {true, true, true},
                                                    kLockedCodes},
                                           ViewCase{"ModeNegativeNoLayout",
                                                    -3,
                                                    kUnlockedCodes,
                                                    {},
                                                    false,
                                                    {736, 405},
                                                    {true, true, true},
                                                    kUnlockedCodes}),
                         [](const ::testing::TestParamInfo<ViewCase>& p) {
                           return std::string(p.param.name);
                         });

TEST_F(StartupTest, OtherViewModeKeepsDesignedClientArea) {
  ConsoleHarness h;
  h.start(iniWith(7, kLockedCodes));
  h.show();
  EXPECT_EQ(h.form1().size(), QSize(728, 371));
}

TEST_F(StartupTest, RightPasswordIsNotAskedAtTheNextStart) {
  QString file;
  {
    ConsoleHarness first;
    first.password = kRight;
    first.start(iniWith(4, kLockedCodes));
    first.show();
    ASSERT_EQ(first.passwordAsked, 1);
    file = first.harness().iniText();
  }
  ConsoleHarness second;
  second.start(file);
  second.show();
  EXPECT_EQ(second.passwordAsked, 0);
  EXPECT_EQ(outerSizeOf(second.form1()), QSize(1180, 953));
  EXPECT_EQ(buttonsOf(second.panel()), (ButtonsEnabled{true, true, true}));
}

TEST_F(StartupTest, LockIsDecidedOnceAtTheFirstShow) {
  ConsoleHarness h;
  h.password = QStringLiteral("wrong");
  h.start(iniWith(4, kLockedCodes));
  h.show();
  h.form1().hide();
  h.show();
  EXPECT_EQ(h.passwordAsked, 1);
  EXPECT_EQ(outerSizeOf(h.form1()), QSize(730, 401));
}

TEST_F(StartupTest, UnlockWritesTheMarkersInOrderAndKeepsOtherLines) {
  ConsoleHarness h;
  h.password = kRight;
  h.start(QStringLiteral("; site notes\r\n") + iniWith(4, kLockedCodes) +
          QStringLiteral("[Extra]\r\nKeep=me\r\n"));
  h.show();
  const QString text = h.harness().iniText();
  EXPECT_TRUE(text.startsWith(QStringLiteral("; site notes\r\n"))) << text.toStdString();
  EXPECT_TRUE(text.contains(QStringLiteral("[Extra]\r\nKeep=me"))) << text.toStdString();
  const qsizetype p1 = text.indexOf(QStringLiteral("CodeProg1=61829374"));
  const qsizetype p2 = text.indexOf(QStringLiteral("CodeProg2=80471593"));
  const qsizetype p3 = text.indexOf(QStringLiteral("CodeProg3=57206148"));
  EXPECT_TRUE(p1 >= 0 && p1 < p2 && p2 < p3) << text.toStdString();
}

// ---- title, file errors, closing -------------------------------------------

TEST_F(StartupTest, TitleCarriesRootDirectoryAndPort) {
  ConsoleHarness h;
  h.start();
  EXPECT_EQ(h.form1().windowTitle(), QString::fromUtf8("Calorix   C:\\Данные Pidа  Com 2"));
  EXPECT_EQ(h.form1().objectName(), QStringLiteral("TForm1"));
}

TEST_F(StartupTest, TitleFollowsTheSettings) {
  ConsoleHarness h;
  h.start(QStringLiteral("[Com port]\r\nNumPort=17\r\n[Dir]\r\nDirAll=/tmp/calorix-logs\r\n"));
  EXPECT_EQ(h.form1().windowTitle(), QStringLiteral("Calorix   /tmp/calorix-logs  Com 17"));
}

TEST_F(StartupTest, UnwritableSettingsFileIsReportedAndTheTitleStaysBare) {
  ConsoleHarness h;
  // A directory in place of the file: no one, root included, can write it.
  ASSERT_TRUE(QDir().mkpath(h.harness().iniPath()));
  h.start();
  ASSERT_EQ(h.messages.shown.size(), 1) << h.messages.shown.join("|").toStdString();
  EXPECT_EQ(h.messages.shown[0], QStringLiteral("Unable to write to ") + h.harness().iniPath());
  EXPECT_EQ(h.form1().windowTitle(), QStringLiteral("Calorix"));
  // The window still comes up locked down in the default view mode.
  h.show();
  EXPECT_EQ(buttonsOf(h.panel()), (ButtonsEnabled{false, false, false}));
}

TEST_F(StartupTest, CloseReleasesPortAndProtocolFile) {
  ConsoleHarness h;
  h.start(QStringLiteral("[RS485]\r\nWriteRs485=Enabled\r\n"));
  h.show();
  ASSERT_TRUE(h.link().portOpen());
  const QString protocol = h.link().protocolPath();
  ASSERT_FALSE(protocol.isEmpty());
  bool closedSignal = false;
  QObject::connect(&h.form1(), &TForm1::closed, [&] { closedSignal = true; });
  h.close();
  EXPECT_TRUE(closedSignal);
  EXPECT_FALSE(h.link().portOpen());
  EXPECT_FALSE(h.link().dataLogOpen());
  QFile file(protocol);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QByteArray before = file.readAll();
  EXPECT_TRUE(before.startsWith(cp1251::encode(QString::fromUtf8("Данные работы RS485   \r\n"))));
  // Nothing reaches the closed protocol file any more.
  h.link().WriteProtocol(QStringLiteral("after close"));
  file.seek(0);
  EXPECT_EQ(file.readAll(), before);
}

#ifdef Q_OS_UNIX
TEST_F(StartupTest, TerminationSignalClosesTheMainWindow) {
  ConsoleHarness h;
  h.start();
  h.show();
  closeOnTerminationSignals(h.form1());
  bool closedSignal = false;
  QObject::connect(&h.form1(), &TForm1::closed, [&] { closedSignal = true; });
  std::raise(SIGTERM);
  QTRY_VERIFY_WITH_TIMEOUT(closedSignal, 5000);
  EXPECT_TRUE(closedSignal);
  EXPECT_FALSE(h.link().portOpen());
  std::signal(SIGTERM, SIG_DFL);
  std::signal(SIGINT, SIG_DFL);
}
#endif

TEST_F(StartupTest, WindowsAreCreatedWithTheirDesignedNames) {
  ConsoleHarness h;
  h.start();
  Console& c = h.console();
  QStringList names;
  for (const auto& window : c.windows()) names << window->objectName();
  EXPECT_EQ(&c.window<TFormRabPID>(), c.windows()[5].get());
  EXPECT_EQ(names,
            (QStringList{"TForm1", "TFormVvodProg", "TFormIzmKoef", "TFormDopParam", "TFormDopRAM",
                         "TFormRabPID", "TFormDataDide", "TForm2", "TFormGrafik"}));
  EXPECT_FALSE(h.link().busy());
}

// ---- the password window ---------------------------------------------------

TEST_F(StartupTest, PasswordWindowAsDesignedHidesWhatIsTyped) {
  TForm2 window;
  EXPECT_EQ(window.windowTitle(), QStringLiteral("FormParol"));
  EXPECT_EQ(outerSizeOf(window), QSize(356, 275));
  QLineEdit* edit = window.edit1();
  EXPECT_EQ(edit->objectName(), QStringLiteral("Edit1"));
  EXPECT_EQ(edit->text(), QStringLiteral("Edit1"));
  EXPECT_EQ(edit->geometry().topLeft(), QPoint(80, 56));
  EXPECT_EQ(edit->width(), 121);
  EXPECT_EQ(edit->echoMode(), QLineEdit::Password);
}

TEST_F(StartupTest, PasswordWindowIsModalUntilClosedAndTypingReplacesTheDesignedText) {
  TForm2 window;
  bool wasModal = false;
  QTimer::singleShot(0, &window, [&] {
    wasModal = window.isModal() && window.isVisible();
    QTest::keyClicks(window.edit1(), kRight);
    window.close();  // the close box
  });
  EXPECT_EQ(window.ask(), kRight);
  EXPECT_TRUE(wasModal);
  EXPECT_FALSE(window.isVisible());
}

TEST_F(StartupTest, EnterClosesThePasswordWindow) {
  TForm2 window;
  QTimer::singleShot(0, &window, [&] {
    QTest::keyClicks(window.edit1(), QStringLiteral("abc"));
    QTest::keyClick(window.edit1(), Qt::Key_Return);
  });
  EXPECT_EQ(window.ask(), QStringLiteral("abc"));
}

}  // namespace
}  // namespace calorix
