#pragma once
// What every fault matrix shares: the faults the emulator injects, in the
// order of the expected-status strings of a matrix's rows, and the console
// in view mode 4 with every window shown, driven through its designed
// controls.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <vector>

#include "app/TForm2.h"
#include "core/ControllerMap.h"
#include "link/LogFileSystem.h"
#include "pid/TelemetryStream.h"
#include "programs/TFormDataDide.h"
#include "sim/Firmware.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/TestApplication.h"

namespace calorix::matrix {

using testing::ConsoleHarness;

// The faults, in the order of the expected-status strings of the rows.
struct Fault {
  const char* name;
  std::function<void(sim::Faults&, std::uint8_t firstCode)> arm;
};
inline const std::vector<Fault> kFaults = {
    {"silent", [](sim::Faults& f, std::uint8_t) { f.silent = true; }},
    {"refused 0x81", [](sim::Faults& f, std::uint8_t code) { f.refuseCommand = code; }},
    {"wrong echo",
     [](sim::Faults& f, std::uint8_t) {
       f.replaceAt = 0;
       f.replaceWith = 0x55;
     }},
    {"dropped byte", [](sim::Faults& f, std::uint8_t) { f.dropAt = 0; }},
    {"delayed past the interval",
     [](sim::Faults& f, std::uint8_t) {
       f.delayAt = 3;
       f.delayMs = 2500;
     }},
    {"short block", [](sim::Faults& f, std::uint8_t) { f.shortBlockBytes = 1; }},
    {"keeps sending", [](sim::Faults& f, std::uint8_t) { f.keepSending = true; }},
    {"line lost", [](sim::Faults& f, std::uint8_t) { f.portGone = true; }},
};
inline constexpr int kSilent = 0;
inline constexpr int kLineLost = 7;

// What every heating run's stop sends: key code 1, then the three register
// bits cleared.
inline const std::vector<std::uint8_t> kRunStopBytes = {
    0x08, 0x03, 0x01, 0x80, 0x01, 0x05, 0x05, 0x00, 0xFB, 0x80, 0x01,
    0x05, 0x0E, 0x00, 0xFD, 0x80, 0x01, 0x05, 0x0E, 0x00, 0xFE, 0x80};
inline bool sentRunStop(const std::vector<std::uint8_t>& sent) {
  return std::search(sent.begin(), sent.end(), kRunStopBytes.begin(), kRunStopBytes.end()) !=
         sent.end();
}

// The link's two files, and what a file fault fails in them.
enum class Which { DataLog, Protocol };
enum class Op { Create, Write, Flush, Close };

// The link's files, one kind of operation on one of them failing while armed
// (LinkHarnessOptions::files).
class FailingFiles : public LogFileSystem {
 public:
  void arm(Which which, Op op) {
    which_ = which;
    op_ = op;
    armed_ = true;
  }
  void lift() { armed_ = false; }
  // How many operations it failed.
  int struck = 0;

  bool create(QFile& f) override { return !strikes(Op::Create, f) && LogFileSystem::create(f); }
  bool write(QFile& f, const QByteArray& bytes) override {
    return !strikes(Op::Write, f) && LogFileSystem::write(f, bytes);
  }
  bool flush(QFile& f) override { return !strikes(Op::Flush, f) && LogFileSystem::flush(f); }
  bool close(QFile& f) override {
    if (!strikes(Op::Close, f)) return LogFileSystem::close(f);
    f.close();
    return false;
  }

 private:
  bool strikes(Op op, const QFile& f) {
    if (!armed_ || op != op_) return false;
    const bool protocol = f.fileName().contains(QStringLiteral("/RS485/"));
    if (protocol != (which_ == Which::Protocol)) return false;
    ++struck;
    return true;
  }
  Which which_ = Which::DataLog;
  Op op_ = Op::Write;
  bool armed_ = false;
};

// The whole console in view mode 4 with every window shown; options and
// more settings for a matrix that needs them.
struct Rig {
  Rig() : Rig(testing::LinkHarnessOptions{}) {}
  explicit Rig(testing::LinkHarnessOptions options, const QString& moreSettings = QString())
      : h(std::move(options)) {
    h.start(QStringLiteral("[Vid prog]\r\nVidProg=4\r\n") + moreSettings);
    h.password = kAccessPassword;
    h.show();
    for (const auto& w : h.console().windows())
      if (w.get() != &h.form1() && !dynamic_cast<TForm2*>(w.get())) w->show();
  }
  QApplication& app = testing::testApplication();
  ConsoleHarness h;
  Link& link() { return h.link(); }

  // A designed control of any window, clicked as the mouse does it (press and
  // release: buttons acting on either see theirs).
  void click(QWidget& window, const char* name) {
    auto* target = window.findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(target, nullptr) << name;
    QTest::mouseClick(target, Qt::LeftButton, {}, target->rect().center());
  }
  void main(const char* name) { click(h.form1(), name); }
  void type(QWidget& window, const char* field, const QString& text) {
    auto* edit = window.findChild<QLineEdit*>(QString::fromLatin1(field));
    ASSERT_NE(edit, nullptr) << field;
    edit->setText(text);
  }
  void type(const char* field, const QString& text) { type(h.form1(), field, text); }
  // A button the designed form keeps hidden, shown as the console's
  // show-hidden mode shows it, so that the mouse can reach it.
  void unhide(const char* name) {
    auto* target = h.form1().findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(target, nullptr) << name;
    target->show();
  }
  template <class W>
  void in(const char* name) {
    click(h.console().window<W>(), name);
  }
  template <class W>
  void typeIn(const char* field, const QString& text) {
    type(h.console().window<W>(), field, text);
  }

  // ---- the program editor: its combo box steps through the programs --------
  QComboBox* editorCombo() {
    return h.console().window<TFormDataDide>().findChild<QComboBox*>("ComboBox1");
  }
  void editorStep(Qt::Key key) { QTest::keyClick(editorCombo(), key); }
  // Steps (fault-free) until the box shows the program at index.
  void editorAt(int index) {
    for (int guard = 0; guard < 40 && editorCombo()->currentIndex() != index; ++guard)
      editorStep(editorCombo()->currentIndex() < index ? Qt::Key_Down : Qt::Key_Up);
    ASSERT_EQ(editorCombo()->currentIndex(), index);
  }
  // An edit of stage 1's temperature: a value no earlier edit left in the
  // grid or in the controller (a failed save keeps the grid as it was edited).
  void editorEdit() {
    auto* grid = h.console().window<TFormDataDide>().findChild<QTableWidget*>("StringGrid1");
    grid->item(2, 1)->setText(QString::number(100 + (++edits % 100)));
  }
  int edits = 0;

  // ---- the runs of the main window's timers and the stream ------------------
  // ВЫКЛ НАГРЕВ as soon as the stream has started: it ends after its first
  // frame, or when the read that waits for one times out.
  void streamOnce() {
    TelemetryStream& stream = h.form1().parts().telemetry();
    auto* asker = new QTimer(&h.form1());
    asker->setInterval(0);
    QObject::connect(asker, &QTimer::timeout, asker, [asker, &stream] {
      if (!stream.running()) return;
      stream.requestEnd();
      asker->stop();
    });
    asker->start();
    main("Button6");
    delete asker;
  }
  // A key code that a fault swallowed leaves the controller's program running
  // while the console has stopped (or the reverse), and a read of 10 s or more
  // marks the link broken until the console starts again: the engineer
  // stops the program on the controller and starts the console anew, which
  // LoadSettings stands for.
  void controllerStopped() {
    sim::Firmware& firmware = h.ctrl().firmware();
    if (firmware.pidFramesOn()) firmware.onPanelKey(ctl::panelKey::kPuskStop);
    if (link().FlagLinkBreak() == 1) link().LoadSettings();
  }
  void ramOutputOn() {
    if (h.console().run().RamOutEnabled == 1) return;
    unhide("Button7");
    main("Button7");
  }
};

}  // namespace calorix::matrix
