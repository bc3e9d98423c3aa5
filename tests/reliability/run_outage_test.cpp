// A run through an outage of the line: the adapter pulled (or the controller
// silent) in the middle of a Пуск run and a PID-window run, and back again. Ticks
// while it is gone fail and show so, nothing is logged or drawn that was not
// read, the data log marks the gap, the run goes on by itself when the line
// is back and a stop asked for meanwhile is still carried out.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "app/MainWindowParts.h"
#include "pid/PidRun.h"
#include "pid/PuskRun.h"
#include "pid/RunGap.h"
#include "pid/TFormRabPID.h"
#include "plot/LogGap.h"
#include "plot/LogReader.h"
#include "tests/reliability/fault_rig.h"
#include "tests/support/StartupFiles.h"

namespace calorix {
namespace {

using matrix::Rig;

struct RunRow {
  const char* name;
  bool pusk;        // the Пуск run, or the PID work window's
  int startFrames;  // what the start counts of its own frame
  bool portGone;    // the adapter pulled, or the controller silent on an open port
};

struct OutageRig {
  Rig r;
  const RunRow& row;
  MainWindowParts& parts = r.h.form1().parts();
  int samples = 0;  // handed to the trend

  explicit OutageRig(const RunRow& run) : row(run) {
    // A program at its first stage with the heater on: every Пуск cycle logs.
    auto& ram = r.h.ctrl().memory().ram;
    ram[ctl::ram::kProgramNumber] = 1;
    ram[ctl::ram::kStageNumber] = 1;
    ram[ctl::ram::kFlags] = ctl::flags::kHeaterOn;
    const TrendFeed count{[this](const plot::Sample&) { ++samples; }};
    parts.puskRun().setTrendFeed(count);
    parts.pidRun().setTrendFeed(count);
  }
  void startOrStop() {
    if (row.pusk) return r.main("ShapePuskStopTop");
    r.in<TFormRabPID>(r.h.console().run().PidRunActive == 1 ? "Button3" : "Button1");
  }
  void tick() { row.pusk ? parts.puskRun().tick() : parts.pidRun().tick(); }
  QTimer& timer() {
    return row.pusk ? parts.puskRun().TimerPuskPidNew() : parts.pidRun().TimerPid();
  }
  const RunGap& gap() { return row.pusk ? parts.puskRun().gap() : parts.pidRun().gap(); }
  // The measurement number where the run shows it.
  QString counter() {
    QWidget& window =
        row.pusk ? static_cast<QWidget&>(r.h.form1()) : r.h.console().window<TFormRabPID>();
    return window.findChild<QLineEdit*>(row.pusk ? "Edit37" : "EditNumIzm")->text();
  }
  void lineGone(bool gone) {
    sim::Faults f;
    (row.portGone ? f.portGone : f.silent) = gone;
    r.h.ctrl().setFaults(f);
  }
  QStringList log() { return testing::logFileLines(r.h.link().dataLogPath()); }
};

std::string runName(const ::testing::TestParamInfo<RunRow>& info) {
  return info.param.name;
}

class RunOutage : public ::testing::TestWithParam<RunRow> {};

TEST_P(RunOutage, TicksFailVisiblyLogOnlyWhatWasReadMarkTheGapAndGoOnWhenTheLineIsBack) {
  OutageRig x(GetParam());
  x.startOrStop();
  ASSERT_EQ(x.r.h.console().run().PidRunActive, 1);
  x.tick();
  const int read = x.row.startFrames + 1;
  ASSERT_EQ(x.counter(), QString::number(read));
  const QStringList before = x.log();
  const int samplesBefore = x.samples;

  x.lineGone(true);
  for (int i = 0; i < 3; ++i) {
    x.tick();
    EXPECT_EQ(x.counter(), noFrameText(read)) << "tick " << i;
    EXPECT_TRUE(x.timer().isActive()) << "the run waits for the line";
    // A lost port is looked for as often as the line watch does.
    EXPECT_EQ(x.timer().interval(), x.row.portGone ? kLineWatchMs : 4000);
  }
  EXPECT_EQ(x.r.h.link().portOpen(), !x.row.portGone) << "a device away is let go";
  EXPECT_EQ(x.samples, samplesBefore) << "nothing was read to draw";
  EXPECT_EQ(x.gap().ticksLost(), 3);
  QStringList log = x.log();
  ASSERT_EQ(log.size(), before.size() + 1) << log.join('\n').toStdString();
  EXPECT_TRUE(plot::loggap::isGapLine(log.last().toLocal8Bit())) << log.last().toStdString();
  EXPECT_TRUE(x.gap().inGap());

  // Back: the next tick opens the port again and reads the controller's next frame.
  x.lineGone(false);
  x.tick();
  EXPECT_EQ(x.counter(), QString::number(read + 1));
  EXPECT_EQ(x.timer().interval(), 4000) << "the run's own cadence again";
  EXPECT_TRUE(x.r.h.link().portOpen());
  EXPECT_EQ(x.samples, samplesBefore + 1);
  EXPECT_FALSE(x.gap().inGap());
  log = x.log();
  ASSERT_EQ(log.size(), before.size() + 3);
  EXPECT_TRUE(plot::loggap::isGapLine(log[before.size() + 1].toLocal8Bit()));
  EXPECT_FALSE(plot::loggap::isGapLine(log.last().toLocal8Bit()));
  EXPECT_TRUE(log.last().startsWith(x.counter() + QStringLiteral("  ;  ")))
      << log.last().toStdString();

  // The log reads back to the frames that were read, the gap lines neither
  // data nor damage.
  const plot::LogReadResult back = plot::readLog(x.r.h.link().dataLogPath());
  EXPECT_EQ(back.skippedLines, 0);
  EXPECT_EQ(back.samples.size(), std::size_t(3));

  // A stop asked for while the line is gone again is carried out by the
  // next tick, which ends the run.
  x.lineGone(true);
  x.tick();
  x.startOrStop();
  x.tick();
  EXPECT_EQ(x.r.h.console().run().PidRunActive, 0);
  EXPECT_FALSE(x.timer().isActive());
  QCoreApplication::processEvents();  // the losses are told after their exchanges
  EXPECT_EQ(x.r.h.messages.shown.filter(QString::fromUtf8("потерян")).size(),
            x.row.portGone ? 2 : 0)
      << "each loss told once";
}

INSTANTIATE_TEST_SUITE_P(Runs, RunOutage,
                         ::testing::Values(RunRow{"Pusk", true, 0, true},
                                           RunRow{"PidWindow", false, 1, true},
                                           RunRow{"PuskSilent", true, 0, false},
                                           RunRow{"PidWindowSilent", false, 1, false}),
                         runName);

}  // namespace
}  // namespace calorix
