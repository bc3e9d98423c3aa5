// The run fault matrix: the Пуск run, the PID work window's run and the P/B
// stream against a file that fails them (a create, a write, a flush or a
// close of the data log or of the protocol) from their start, their cycles
// or their stop on; a stop asked for while something else holds the line;
// and a stop on a line that is gone. Every cell ends with the stop on the
// wire (or the warning, when the line is gone), no run timer left armed, the
// fault told at most once, a new run that logs again once the fault has gone,
// and a clean close.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>

#include <cstdio>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "pid/HeatWarning.h"
#include "pid/TFormRabPID.h"
#include "pid/TelemetryStream.h"
#include "tests/reliability/fault_rig.h"
#include "tests/support/StartupFiles.h"

namespace calorix {
namespace {

using namespace matrix;
using Bytes = std::vector<std::uint8_t>;

enum class Kind { Pusk, PidWindow, Stream };
enum class Phase { Start, Cycle, Stop };
constexpr Op kOps[] = {Op::Create, Op::Write, Op::Flush, Op::Close};
const char* const kKindNames[] = {"Pusk", "PidWindow", "Stream"};
const char* const kPhaseNames[] = {"Start", "Cycle", "Stop"};
const char* const kOpNames[] = {"create", "write", "flush", "close"};
constexpr std::uint8_t kPB = ctl::plainKey::kPB;

// The console with the protocol traced, its files behind FailingFiles.
struct RunRig {
  FailingFiles files;
  Rig r{options(), QStringLiteral("[RS485]\r\nWriteRs485=Enabled\r\n")};

  // A program at its first stage with the heater on: every cycle of a Пуск
  // run logs a line, and no tick takes it for a program that has ended.
  RunRig() {
    auto& ram = h().ctrl().memory().ram;
    ram[ctl::ram::kProgramNumber] = 1;
    ram[ctl::ram::kStageNumber] = 1;
    ram[ctl::ram::kFlags] = ctl::flags::kHeaterOn;
  }

  testing::LinkHarnessOptions options() {
    testing::LinkHarnessOptions o;
    o.files = &files;
    return o;
  }
  ConsoleHarness& h() { return r.h; }
  const RunState& state() { return h().console().run(); }
  TFormRabPID& pid() { return h().console().window<TFormRabPID>(); }

  void start(Kind kind) {
    if (kind == Kind::Pusk) return r.main("ShapePuskStopTop");
    r.in<TFormRabPID>("Button1");
  }
  void askStop(Kind kind) {
    if (kind == Kind::Pusk) return r.main("ShapePuskStopTop");
    r.in<TFormRabPID>("Button3");
  }
  void tick(Kind kind) {
    if (kind == Kind::Pusk) return h().form1().parts().puskRun().tick();
    h().form1().parts().pidRun().tick();
  }
  QTimer& timer(Kind kind) {
    if (kind == Kind::Pusk) return h().form1().parts().puskRun().TimerPuskPidNew();
    return h().form1().parts().pidRun().TimerPid();
  }
  int measurement() {
    return h().form1().findChild<QLineEdit*>(QStringLiteral("Edit_NumIzm"))->text().toInt();
  }
  // The P/B stream until frame `frames`, then ВЫКЛ НАГРЕВ; atFrame runs at
  // every frame shown first.
  void stream(int frames, const std::function<void(int)>& atFrame) {
    int seen = measurement();  // what the last stream left shown
    auto* watcher = new QTimer(&h().form1());
    watcher->setInterval(0);
    QObject::connect(watcher, &QTimer::timeout, watcher, [&, watcher] {
      if (measurement() == seen) return;
      seen = measurement();
      atFrame(seen);
      if (seen < frames) return;
      r.main("Button11");
      watcher->stop();
    });
    watcher->start();
    r.main("Button6");
    delete watcher;
  }
  // The file errors told since `from`.
  int fileErrorsTold(qsizetype from) {
    return int(h().messages.shown.mid(from).filter(QString::fromUtf8("Не удалось")).size());
  }
};

// ---- file faults ---------------------------------------------------------------

struct FileRow {
  Kind kind;
  Phase phase;
  Which which;
};

std::vector<FileRow> fileRows() {
  std::vector<FileRow> rows;
  for (Kind k : {Kind::Pusk, Kind::PidWindow, Kind::Stream})
    for (Phase p : {Phase::Start, Phase::Cycle, Phase::Stop})
      for (Which w : {Which::DataLog, Which::Protocol}) rows.push_back({k, p, w});
  return rows;
}

// A run, with the fault armed from `row.phase` on when op is given;
// returns whether it started.
bool faultyRun(RunRig& x, const FileRow& row, std::optional<Op> op) {
  const auto armAt = [&](Phase p) {
    if (op && p == row.phase) x.files.arm(row.which, *op);
  };
  if (row.kind == Kind::Stream) {
    x.r.ramOutputOn();
    x.h().ctrl().clearLogs();
  }
  armAt(Phase::Start);
  if (row.kind == Kind::Stream) {
    x.stream(3, [&](int frame) {
      if (frame == 1) armAt(Phase::Cycle);
      if (frame == 3) armAt(Phase::Stop);
    });
    const Bytes sent = x.h().ctrl().received();
    if (sent.empty()) return false;
    // Frames went on after a log that failed in the cycles, to the stop's key code.
    EXPECT_GE(x.measurement(), 3);
    EXPECT_EQ(sent.back(), kPB);
    EXPECT_FALSE(x.h().form1().parts().telemetry().running());
    return true;
  }
  x.start(row.kind);
  if (x.state().PidRunActive != 1) return false;
  armAt(Phase::Cycle);
  for (int cycle = 0; cycle < 2; ++cycle) {
    x.tick(row.kind);
    EXPECT_TRUE(x.timer(row.kind).isActive()) << "the tick re-armed";
    EXPECT_EQ(x.timer(row.kind).interval(), 4000);
  }
  x.askStop(row.kind);
  armAt(Phase::Stop);
  x.h().ctrl().clearLogs();
  x.tick(row.kind);
  EXPECT_TRUE(sentRunStop(x.h().ctrl().received())) << "the stop went out whole";
  return true;
}

class RunFileFaults : public ::testing::TestWithParam<FileRow> {};

TEST_P(RunFileFaults, EveryCellStopsOnTheWireTellsOnceAndLogsAgainAfterwards) {
  const FileRow row = GetParam();
  RunRig x;
  for (Op op : kOps) {
    SCOPED_TRACE(std::string(row.which == Which::DataLog ? "data log " : "protocol ") +
                 kOpNames[int(op)] + " failing");
    x.h().ctrl().clearLogs();
    x.files.struck = 0;
    const qsizetype told = x.h().messages.shown.size();
    const bool started = faultyRun(x, row, op);
    // Only a data log that cannot be created keeps a run from starting, and
    // then nothing has gone out.
    const bool refusable =
        row.phase == Phase::Start && row.which == Which::DataLog && op == Op::Create;
    EXPECT_EQ(started, !refusable);
    if (!started) {
      EXPECT_EQ(x.h().ctrl().received(), Bytes{});
    }
    EXPECT_EQ(x.state().PidRunActive, 0);
    EXPECT_EQ(x.state().PuskFlag, 0);
    EXPECT_EQ(x.state().Owner, RunOwner::None);
    EXPECT_FALSE(x.h().form1().parts().puskRun().TimerPuskPidNew().isActive());
    EXPECT_FALSE(x.h().form1().parts().pidRun().TimerPid().isActive());
    EXPECT_FALSE(x.h().link().dataLogOpen());
    EXPECT_FALSE(x.h().ctrl().firmware().pidFramesOn()) << "the controller was stopped";
    EXPECT_EQ(x.fileErrorsTold(told), x.files.struck > 0 ? 1 : 0)
        << x.h().messages.shown.mid(told).join('|').toStdString();

    // The fault gone: the next run logs into a new file and traces again.
    x.files.lift();
    const QString failedLog = x.h().link().dataLogPath();
    const bool failedLogExists = QFileInfo::exists(failedLog);
    x.h().ctrl().clearLogs();
    const qsizetype before = x.h().messages.shown.size();
    ASSERT_TRUE(faultyRun(x, row, std::nullopt));
    EXPECT_FALSE(x.h().link().tracingStopped());
    if (failedLogExists) {
      EXPECT_NE(x.h().link().dataLogPath(), failedLog);
    }
    EXPECT_GE(testing::logFileLines(x.h().link().dataLogPath()).size(), 3);
    EXPECT_EQ(x.h().messages.shown.size(), before)
        << x.h().messages.shown.mid(before).join('|').toStdString();
  }
  bool closed = false;
  QObject::connect(&x.h().form1(), &TForm1::closed, [&] { closed = true; });
  x.h().close();
  EXPECT_TRUE(closed);
  EXPECT_FALSE(x.h().link().portOpen());
}

std::string fileRowName(const ::testing::TestParamInfo<FileRow>& info) {
  const FileRow& r = info.param;
  return std::string(kKindNames[int(r.kind)]) + kPhaseNames[int(r.phase)] +
         (r.which == Which::DataLog ? "DataLog" : "Protocol");
}

INSTANTIATE_TEST_SUITE_P(Rows, RunFileFaults, ::testing::ValuesIn(fileRows()), fileRowName);

// ---- a stop while something else holds the line --------------------------------

// A table read is refused while a run's frames share the line, so a run's
// stop meets the line held only by the read-out and by its own tick.
enum class Busy { ReadOut, TickMessage };

struct BusyRow {
  Kind kind;
  Busy busy;
};

class BusyLineStop : public ::testing::TestWithParam<BusyRow> {};

// The stop is latched at once and carried out by the first tick that finds
// the line free.
TEST_P(BusyLineStop, IsLatchedAndCarriedOutByTheNextTickThatFindsTheLineFree) {
  const BusyRow row = GetParam();
  RunRig x;
  x.start(row.kind);
  ASSERT_EQ(x.state().PidRunActive, 1);
  x.h().ctrl().clearLogs();
  switch (row.busy) {
    case Busy::ReadOut: {
      // Обновить lets events run between its reads: Стоп comes then, and
      // the timer's tick finds the line busy.
      QTimer::singleShot(0, &x.h().form1(), [&] {
        x.askStop(row.kind);
        x.tick(row.kind);
      });
      x.r.main("Button33");
      EXPECT_EQ(x.timer(row.kind).interval(), kBusyRetryMs);
      break;
    }
    case Busy::TickMessage: {
      // A log that fails in the cycle: the tick tells it in a box, and
      // while the box is open Стоп is pressed and the timer fires again.
      x.files.arm(Which::DataLog, Op::Write);
      bool once = false;
      x.h().messages.whileOpen = [&] {
        if (std::exchange(once, true)) return;
        x.askStop(row.kind);
        x.tick(row.kind);
      };
      x.tick(row.kind);
      x.h().messages.whileOpen = {};
      break;
    }
  }
  EXPECT_EQ(x.state().PuskFlag, 0);
  if (x.state().PidRunActive == 1) {
    EXPECT_EQ(x.state().PidStopRequest, 1) << "the stop is latched";
    x.tick(row.kind);
  }
  EXPECT_EQ(x.state().PidRunActive, 0) << "stopped by the first tick on a free line";
  EXPECT_TRUE(sentRunStop(x.h().ctrl().received()));
  EXPECT_FALSE(x.timer(row.kind).isActive());
  EXPECT_FALSE(x.h().ctrl().firmware().pidFramesOn());
}

const std::vector<BusyRow> kBusyRows = {{Kind::Pusk, Busy::ReadOut},
                                        {Kind::Pusk, Busy::TickMessage},
                                        {Kind::PidWindow, Busy::ReadOut},
                                        {Kind::PidWindow, Busy::TickMessage}};

std::string busyRowName(const ::testing::TestParamInfo<BusyRow>& info) {
  static const char* const busy[] = {"ReadOut", "TickMessage"};
  return std::string(kKindNames[int(info.param.kind)]) + busy[int(info.param.busy)];
}

INSTANTIATE_TEST_SUITE_P(Rows, BusyLineStop, ::testing::ValuesIn(kBusyRows), busyRowName);

// ---- a stop on a line that is gone ---------------------------------------------

class LineGoneStop : public ::testing::TestWithParam<Kind> {};

// The warning is told at once and stays over the panel until a read-out
// finds the heater off (the operator stopped the program on the controller).
TEST_P(LineGoneStop, WarnsThatTheFurnaceMayHeatUntilAReadOutShowsItOff) {
  const Kind kind = GetParam();
  RunRig x;
  auto* warning = x.h().form1().findChild<QLabel*>(QStringLiteral("LabelRunWarning"));
  ASSERT_NE(warning, nullptr);
  x.start(kind);
  x.tick(kind);
  x.askStop(kind);
  sim::Faults gone;
  gone.portGone = true;
  x.h().ctrl().setFaults(gone);
  const qsizetype told = x.h().messages.shown.size();
  x.tick(kind);
  EXPECT_EQ(x.state().PidRunActive, 0);
  EXPECT_FALSE(x.timer(kind).isActive());
  EXPECT_EQ(x.state().FurnaceMayHeat, 1);
  EXPECT_TRUE(x.h().messages.shown.mid(told).join('\n').contains(kStopUndeliveredText));
  EXPECT_TRUE(warning->isVisible());
  EXPECT_EQ(warning->text(), kFurnaceMayHeatText);

  // The line back (a new start of the console), the controller still
  // running: a read-out leaves the warning; stopped on the controller, the
  // next read-out takes it away.
  x.h().ctrl().setFaults({});
  QCoreApplication::processEvents();  // the lost port's own message
  x.h().link().LoadSettings();
  x.h().ctrl().memory().ram[ctl::ram::kFlags] = ctl::flags::kHeaterOn;
  x.r.main("Button33");
  EXPECT_TRUE(warning->isVisible());
  x.h().ctrl().memory().ram[ctl::ram::kFlags] = 0;
  x.r.main("Button33");
  EXPECT_FALSE(warning->isVisible());
  EXPECT_EQ(x.state().FurnaceMayHeat, 0);
}

const std::vector<Kind> kGoneRows = {Kind::Pusk, Kind::PidWindow};

std::string kindName(const ::testing::TestParamInfo<Kind>& info) {
  return kKindNames[int(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Rows, LineGoneStop, ::testing::ValuesIn(kGoneRows), kindName);

// The size of the matrix, printed by every run of this file.
class MatrixSize : public ::testing::Environment {
  void SetUp() override {
    const std::size_t files = fileRows().size() * std::size(kOps);
    std::printf(
        "run fault matrix: %zu file cells (3 runs x 3 phases x 2 files x 4 operations) + %zu "
        "busy-line stops + %zu stops on a gone line = %zu cells\n",
        files, kBusyRows.size(), kGoneRows.size(), files + kBusyRows.size() + kGoneRows.size());
  }
};
[[maybe_unused]] ::testing::Environment* const kMatrixSize =
    ::testing::AddGlobalTestEnvironment(new MatrixSize);

}  // namespace
}  // namespace calorix
