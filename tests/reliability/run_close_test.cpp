// Closing the main window while a heating run holds the line: the close box
// asks whether to stop the run first or to leave the furnace running its
// program; a close that is not the operator's (a signal, the session, the
// program itself) closes at once as it always did. Either way the port and
// the files are closed and the program ends (closed() emitted).
#include <gtest/gtest.h>

#include <QtTest/qtestspontaneevent.h>
#include <QCloseEvent>

#include "pid/PuskRun.h"
#include "tests/reliability/fault_rig.h"

namespace calorix {
namespace {

using namespace matrix;
// The close box as the window system delivers it: a spontaneous close event
// (sendEvent would take the mark off, so it goes to the window directly).
void clickCloseBox(QWidget& window) {
  QCloseEvent event;
  QSpontaneKeyEvent::setSpontaneous(&event);
  static_cast<QObject&>(window).event(&event);
  if (event.isAccepted()) window.hide();
}

TEST(RunClose, TheCloseBoxAsksAndOnlyTheOperatorsCloseDoes) {
  struct Case {
    const char* what;
    bool closeBox;  // the window system's close (spontaneous), else the program's
    bool answerOk;  // "stop it first"
    bool busyLine;  // closed while a read-out holds the line
    bool asked;
    bool stopped;
    bool logCloseFails = false;  // the run's data log cannot be closed
  };
  const Case cases[] = {
      {"close box, stop first", true, true, false, true, true},
      {"close box, leave it running", true, false, false, true, false},
      {"close box during a read-out, stop first", true, true, true, true, true},
      {"a signal or the session", false, true, false, false, false},
      // Told once, and the port and the protocol are closed all the same.
      {"a signal, the run's log not closing", false, true, false, false, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FailingFiles files;
    testing::LinkHarnessOptions options;
    options.files = &files;
    Rig r(std::move(options));
    r.main("ShapePuskStopTop");
    if (c.logCloseFails) files.arm(Which::DataLog, Op::Close);
    ASSERT_EQ(r.h.console().run().PidRunActive, 1);
    r.h.ctrl().clearLogs();
    bool closed = false;
    QObject::connect(&r.h.form1(), &TForm1::closed, [&] { closed = true; });
    r.h.messages.answers = {c.answerOk};
    const auto close = [&] {
      if (c.closeBox)
        clickCloseBox(r.h.form1());
      else
        r.h.close();
    };
    if (c.busyLine) {
      QTimer::singleShot(0, &r.h.form1(), close);
      r.main("Button33");
      // The stop waited for the line; the tick that finds it free stops, then
      // the window closes.
      EXPECT_FALSE(closed);
      r.h.form1().parts().puskRun().tick();
      QCoreApplication::processEvents();
    } else {
      close();
    }
    EXPECT_EQ(r.h.messages.asked.size(), c.asked ? 1 : 0);
    EXPECT_EQ(r.h.messages.shown.size(), c.logCloseFails ? 1 : 0);
    EXPECT_TRUE(closed);
    EXPECT_FALSE(r.h.link().portOpen());
    EXPECT_FALSE(r.h.link().dataLogOpen());
    EXPECT_FALSE(r.h.form1().parts().puskRun().TimerPuskPidNew().isActive());
    EXPECT_EQ(sentRunStop(r.h.ctrl().received()), c.stopped);
    EXPECT_EQ(r.h.ctrl().firmware().pidFramesOn(), !c.stopped) << "the controller runs on";
  }
}

}  // namespace
}  // namespace calorix
