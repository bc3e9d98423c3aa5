#pragma once
// The PID work window and TimerPid on the emulator (LinkHarness: in-memory
// port, virtual clock, temporary ZaroZ.ini and data root), without the main
// window: the panel read-out of the stop is counted. Controls are found by
// their designed names and driven with QTest mouse events.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <vector>

#include "core/Abort.h"
#include "core/Cp1251.h"
#include "core/NumberText.h"
#include "pid/PidRun.h"
#include "pid/TFormRabPID.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/StartupFiles.h"
#include "tests/support/TestApplication.h"
#include "ui/WindowContext.h"

namespace calorix::testing {

using Bytes = std::vector<std::uint8_t>;

class PidWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testApplication();
    separatorBefore = decimalSeparator();
    setDecimalSeparator(QLatin1Char(','));
    QDir().mkpath(h.dataRoot());
    try {
      h.start(QStringLiteral("[RS485]\r\nWriteRs485=") + (traced ? "Enabled" : "Disabled") +
              QStringLiteral("\r\n[Dir]\r\nDirAll=") + h.dataRoot() + QStringLiteral("/logs\r\n"));
    } catch (const AbortAction& e) {
      FAIL() << e.message().toStdString();
    }
    ctx = std::make_unique<WindowContext>(
        WindowContext{h.link(), messages, run, [this] { ++panelReads; }, {}});
    window = std::make_unique<TFormRabPID>(*ctx);
    timer = std::make_unique<PidRun>(*ctx, run);
    timer->attach(*window);
    window->show();
    h.ctrl().clearLogs();
  }
  void TearDown() override { setDecimalSeparator(separatorBefore); }

  template <class W = QWidget>
  W* w(const char* name) {
    W* found = window->findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
  }
  QLineEdit* edit(const char* name) { return w<QLineEdit>(name); }
  QString text(const char* name) { return edit(name)->text(); }
  void setText(const char* name, const QString& value) { edit(name)->setText(value); }
  void tick(const char* name, bool ticked) { w<QCheckBox>(name)->setChecked(ticked); }
  QPushButton* button(const char* name) { return w<QPushButton>(name); }
  void press(const char* name, Qt::MouseButton mouse = Qt::LeftButton) {
    QWidget* target = w(name);
    QTest::mousePress(target, mouse, {}, target->rect().center());
    QTest::mouseRelease(target, mouse, {}, target->rect().center());
  }

  Bytes received() { return h.ctrl().received(); }
  sim::ControllerMemory& ram() { return h.ctrl().memory(); }
  void setRam(std::uint16_t addr, const Bytes& bytes) {
    for (std::size_t i = 0; i < bytes.size(); ++i) ram().ram[addr + i] = bytes[i];
  }

  QStringList fileLines(const QString& path) { return logFileLines(path); }
  QStringList dataLogFiles() {
    QDir dir(h.link().dataDir());
    return dir.entryList(QDir::Files, QDir::Name);
  }

  static Bytes setRegBits(std::uint8_t reg, std::uint8_t orMask, std::uint8_t andMask) {
    return {0x01, 0x05, reg, orMask, andMask, 0x80};
  }
  static Bytes panelKey(std::uint8_t code) { return {0x08, 0x03, code, 0x80}; }
  static Bytes rdRam(std::uint16_t addr, std::uint8_t count) {
    return {0x05, 0x05, std::uint8_t(addr), std::uint8_t(addr >> 8), count, 0x80};
  }
  static Bytes wrRam(std::uint16_t addr, const Bytes& data) {
    Bytes frame{0x04, std::uint8_t(data.size() + 5), std::uint8_t(addr), std::uint8_t(addr >> 8),
                std::uint8_t(data.size())};
    frame.insert(frame.end(), data.begin(), data.end());
    frame.push_back(0x80);
    return frame;
  }
  static Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
    return all;
  }

  // The protocol switch of this fixture's ZaroZ.ini.
  bool traced = true;
  QChar separatorBefore;
  LinkHarness h;
  ScriptedMessages messages;
  RunState run;
  int panelReads = 0;
  std::unique_ptr<WindowContext> ctx;
  std::unique_ptr<TFormRabPID> window;
  std::unique_ptr<PidRun> timer;
};

}  // namespace calorix::testing
