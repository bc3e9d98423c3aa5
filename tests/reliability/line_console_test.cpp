// The line as the operator sees it in the whole console: a controller that
// does not answer shows in every view mode (a note after the title, the
// panel's tooltip), a lost port and its return are told once each, and the
// port chooser (Ctrl+P, the context menu of Edit_Contrl) opens another device
// at once and keeps it in ZaroZ.ini.
#include <gtest/gtest.h>

#include <QApplication>
#include <QContextMenuEvent>
#include <QLineEdit>
#include <QMenu>
#include <QTest>

#include "app/PortChooser.h"
#include "core/ControllerMap.h"
#include "link/IniFile.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/TestApplication.h"

namespace calorix {
namespace {

using testing::ConsoleHarness;

const QColor kLit(255, 0, 0);
const QColor kUnlit(192, 192, 192);

struct LineConsole {
  explicit LineConsole(const char* viewMode) {
    h.start(QStringLiteral("[Vid prog]\r\nVidProg=%1\r\n").arg(viewMode));
    h.password = kAccessPassword;
  }
  QApplication& app = testing::testApplication();
  ConsoleHarness h;

  void faults(sim::Faults f) { h.ctrl().setFaults(f); }
  // Прог. pressed and released: its key frame, then the read-out.
  void progKey() {
    auto* key = h.form1().findChild<QWidget*>(QStringLiteral("ShapeProgTop"));
    ASSERT_NE(key, nullptr);
    QTest::mouseClick(key, Qt::LeftButton, {}, key->rect().center());
    QCoreApplication::processEvents();
  }
  QString panelTip() { return h.form1().findChild<QWidget*>("Panel1")->toolTip(); }
  QLineEdit* edit(const char* name) { return h.form1().findChild<QLineEdit*>(name); }
  QStringList told(const char* part) { return h.messages.shown.filter(QString::fromUtf8(part)); }
};

TEST(ConsoleLine, NoAnswerAndNoPortShowInViewMode1WhereZerosThatAnswerDoNot) {
  LineConsole c("1");
  for (int a = 0x60; a < 0x70; ++a) c.h.ctrl().memory().ram[a] = 0;
  const QString title = c.h.form1().windowTitle();
  c.h.show();
  // A controller that shows zeros and answers: nothing added.
  EXPECT_EQ(c.edit("EditProg")->text(), QStringLiteral("00"));
  EXPECT_EQ(c.h.form1().windowTitle(), title);
  EXPECT_TRUE(c.panelTip().isEmpty());

  const struct {
    const char* name;
    sim::Faults faults;
    bool watch;  // the line watch ticks instead of a key
    const char* note;
  } steps[] = {
      {"switched off", {.silent = true}, false, "   [нет ответа контроллера]"},
      {"answers again", {}, false, ""},
      {"adapter pulled", {.portGone = true}, false, "   [порт не открыт]"},
      {"plugged in again", {}, true, ""},
      {"silent once more", {.silent = true}, false, "   [нет ответа контроллера]"},
  };
  for (const auto& s : steps) {
    c.faults(s.faults);
    if (s.watch)
      c.h.console().watchLine();
    else
      c.progKey();
    const QString note = QString::fromUtf8(s.note);
    EXPECT_EQ(c.h.form1().windowTitle(), title + note) << s.name;
    EXPECT_EQ(c.panelTip().isEmpty(), note.isEmpty()) << s.name;
    // The displays unlit as on a controller without power, through the blinking too.
    for (int tick = 0; tick < 2; ++tick) {
      c.h.panel().TimerMigIndTick();
      EXPECT_EQ(c.edit("EditProg")->palette().color(QPalette::Text), note.isEmpty() ? kLit : kUnlit)
          << s.name;
    }
  }
  // The loss and the return, told once each.
  EXPECT_EQ(c.told("потерян").size(), 1);
  EXPECT_EQ(c.told("снова открыт").size(), 1);
}

const std::vector<PortEntry> kPorts = {
    {"ttyS0", "/dev/ttyS0", "", "", "", ""},
    {"ttyUSB0", "/dev/ttyUSB0", "USB-RS485 Cable", "FTDI", "FT4ZX1",
     "/dev/serial/by-id/usb-FTDI_USB-RS485_Cable_FT4ZX1-if00-port0"},
};

QWidget* shownNamed(const char* name) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->objectName() == QLatin1String(name) && w->isVisible()) return w;
  return nullptr;
}

// The chooser from the link status field's menu and from Ctrl+P; a choice
// opens at once and is kept, and none is made in the middle of an exchange.
TEST(ConsoleLine, TheChooserOpensTheChosenPortAtOnceAndKeepsIt) {
  LineConsole c("4");
  c.h.console().setPortLister([] { return kPorts; });
  c.h.show();
  const QSize size = c.h.form1().size();
  auto* status = c.h.form1().findChild<QLineEdit*>(QStringLiteral("Edit_Contrl"));
  QContextMenuEvent event(QContextMenuEvent::Mouse, status->rect().center());
  QApplication::sendEvent(status, &event);
  auto* menu = qobject_cast<QMenu*>(shownNamed("LinkStatusMenu"));
  ASSERT_NE(menu, nullptr);
  EXPECT_GT(menu->actions().size(), 2) << "the field's own actions stay";
  menu->actions().last()->trigger();
  menu->close();
  auto* chooser = qobject_cast<PortChooser*>(shownNamed("PortChooser"));
  ASSERT_NE(chooser, nullptr);
  auto* table = chooser->findChild<QTableWidget*>(QStringLiteral("PortTable"));
  ASSERT_EQ(table->rowCount(), 2);
  table->setFocus();  // a focused table takes a current cell: no choice yet
  EXPECT_EQ(chooser->device(), c.h.link().deviceName());
  table->selectRow(1);
  EXPECT_EQ(chooser->device(), kPorts[1].stableName);
  QTest::mouseClick(chooser->findChild<QPushButton*>(QStringLiteral("ButtonOpen")), Qt::LeftButton);
  EXPECT_EQ(c.h.link().deviceName(), kPorts[1].stableName);
  EXPECT_TRUE(c.h.link().portOpen());
  IniFile ini(c.h.harness().iniPath());
  ini.reload();
  EXPECT_EQ(ini.readString("Com port", "Device", {}), kPorts[1].stableName);
  EXPECT_TRUE(c.h.messages.shown.isEmpty()) << c.h.messages.shown.join('|').toStdString();
  EXPECT_EQ(c.h.form1().size(), size);

  c.h.form1().activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&c.h.form1()));
  QTest::keyClick(&c.h.form1(), Qt::Key_P, Qt::ControlModifier);
  chooser = qobject_cast<PortChooser*>(shownNamed("PortChooser"));
  ASSERT_NE(chooser, nullptr);
  chooser->reject();

  ASSERT_TRUE(c.h.link().tryBegin());
  EXPECT_FALSE(c.h.console().choosePort(QStringLiteral("/dev/ttyUSB9")));
  c.h.link().end();
  EXPECT_EQ(c.h.link().deviceName(), kPorts[1].stableName);
  ASSERT_EQ(c.h.messages.shown.size(), 1);
  EXPECT_TRUE(c.h.messages.shown[0].contains(QString::fromUtf8("обмен")));
}

}  // namespace
}  // namespace calorix
