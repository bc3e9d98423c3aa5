#pragma once
// The main window's parts (panel mirror, service area, Пуск run timer) on a
// plain window over the emulator (LinkHarness): the controls are found by
// their designed names and driven with QTest mouse events.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/MainWindowParts.h"
#include "core/Abort.h"
#include "core/Cp1251.h"
#include "core/NumberText.h"
#include "panel/Widgets.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/TestApplication.h"
#include "ui/WindowContext.h"

namespace calorix::testing {

inline QApplication& panelApp() {
  return testing::testApplication();
}

using Bytes = std::vector<std::uint8_t>;

class PanelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    panelApp();
    setDecimalSeparator(QLatin1Char('.'));
    // The log root is created one level at a time: its parent must exist.
    QDir().mkpath(h.dataRoot());
    try {
      h.start(QStringLiteral("[RS485]\r\nWriteRs485=Enabled\r\n[Dir]\r\nDirAll=") + h.dataRoot() +
              QStringLiteral("/logs\r\n"));
    } catch (const AbortAction& e) {
      FAIL() << e.message().toStdString();
    }
    ctx = std::make_unique<WindowContext>(WindowContext{h.link(), messages, run, {}, {}});
    form = std::make_unique<QWidget>();
    form->resize(1180, 953);
    parts = new MainWindowParts(form.get(), *ctx, run);
    panel = &parts->mirror();
    service = &parts->service();
    ctx->readPanel = [this] { panel->RdInd_IndPanel(); };
    form->show();
    h.ctrl().clearLogs();
  }

  template <class W = QWidget>
  W* w(const char* name) {
    W* found = form->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QLineEdit* edit(const char* name) { return w<QLineEdit>(name); }
  QString text(const char* name) { return edit(name)->text(); }
  QColor textColor(const char* name) { return edit(name)->palette().color(QPalette::Text); }
  QColor circle(const char* name) { return w<panel::Circle>(name)->color(); }
  QColor panelColor() { return w("Panel1")->palette().color(QPalette::Window); }

  void press(const char* name, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* target = w(name);
    QTest::mousePress(target, button, {}, target->rect().center());
  }
  void release(const char* name, Qt::MouseButton button = Qt::LeftButton) {
    QWidget* target = w(name);
    QTest::mouseRelease(target, button, {}, target->rect().center());
  }
  void click(const char* name) {
    QWidget* target = w(name);
    QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
  }
  void setEdit(const char* name, const QString& value) { edit(name)->setText(value); }

  Bytes received() { return h.ctrl().received(); }
  void setRam(std::uint16_t addr, const Bytes& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) h.ctrl().memory().ram[addr + i] = bytes[i];
  }

  // The texts of the protocol lines written so far (stamps cut off).
  QStringList protocolTexts() {
    QFile file(h.link().protocolPath());
    if (!file.open(QIODevice::ReadOnly)) return {};
    QStringList out;
    for (const QString& line : cp1251::decode(file.readAll()).split(QStringLiteral("\r\n"))) {
      if (line.isEmpty()) continue;
      // "HH:MM:SS:hh " in front of every line.
      out << line.mid(line.indexOf(QLatin1Char(' ')) + 1);
    }
    return out;
  }

  // The notes of the panel code, without the lines of the single transfers.
  QStringList notes() {
    QStringList out;
    for (const QString& t : protocolTexts())
      if (!t.startsWith(QStringLiteral("WriteFile")) && !t.startsWith(QStringLiteral("ReadFile")))
        out << t;
    return out;
  }

  // The protocol lines that are among the given texts, in file order.
  QStringList notesAmong(const QStringList& texts) {
    QStringList out;
    for (const QString& t : protocolTexts())
      if (texts.contains(t)) out << t;
    return out;
  }

  static Bytes panelKeyFrame(std::uint8_t code) { return {0x08, 0x03, code, 0x80}; }
  static Bytes rdRamFrame(std::uint16_t addr, std::uint8_t count) {
    return {0x05, 0x05, std::uint8_t(addr), std::uint8_t(addr >> 8), count, 0x80};
  }
  static Bytes readOutFrames() {
    Bytes all = rdRamFrame(0x60, 16);
    for (std::uint16_t a : {std::uint16_t(0x0B), std::uint16_t(0x02)}) {
      const Bytes f = rdRamFrame(a, 1);
      all.insert(all.end(), f.begin(), f.end());
    }
    return all;
  }
  static Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }

  LinkHarness h;
  ScriptedMessages messages;
  RunState run;
  std::unique_ptr<WindowContext> ctx;
  std::unique_ptr<QWidget> form;
  MainWindowParts* parts = nullptr;  // children of form
  PanelMirror* panel = nullptr;
  ServiceArea* service = nullptr;
};

}  // namespace calorix::testing
