#include "pid/TelemetryStream.h"

#include <QElapsedTimer>

#include <algorithm>

#include "core/NumberText.h"
#include "pid/StreamFrameDecode.h"
#include "pid/TrendSampleDecode.h"
#include "plot/LogGap.h"
#include "ui/Events.h"

namespace calorix {

namespace frame = ctl::streamFrame;

namespace {

// Link status code: the port took no byte.
constexpr int kPortWriteFailed = 255;

// Adds the host time of one step to its figure.
class StepTimer {
 public:
  explicit StepTimer(qint64& into) : into_(into) { timer_.start(); }
  ~StepTimer() { into_ += timer_.nsecsElapsed(); }
  StepTimer(const StepTimer&) = delete;
  StepTimer& operator=(const StepTimer&) = delete;

 private:
  qint64& into_;
  QElapsedTimer timer_;
};

}  // namespace

using ui::letEventsRun;

TelemetryStream::TelemetryStream(WindowContext& context, RunState& state, StreamView view,
                                 QObject* parent)
    : QObject(parent),
      ctx_(context),
      state_(state),
      view_(std::move(view)),
      report_(context.messages),
      log_(context.link, report_) {}

StreamKeys TelemetryStream::keys() {
  StreamKeys k;
  k.run = [this] { run(); };
  k.stop = [this] { requestStop(); };
  k.switchRamOutput = [this] { switchRamOutput(); };
  return k;
}

void TelemetryStream::switchRamOutput() {
  ctx_.link.SendRamOutKey();
  state_.RamOutEnabled = std::uint8_t(1 - state_.RamOutEnabled);
}

QString TelemetryStream::runActiveText() {
  return QString::fromUtf8(
      "Поток P/B не запущен: идёт работа с ПИДом. Остановите работу и нажмите P/B снова.");
}

QString TelemetryStream::lineLostText() {
  return QString::fromUtf8("Поток P/B остановлен: порт потерян, кадры не читаются.");
}

bool TelemetryStream::endWanted() const {
  return state_.StopHeatRequest == 1 || endRequested_;
}

TelemetryStream::End TelemetryStream::run() {
  RunState& run = state_;
  Link& link = ctx_.link;
  if (run.PidRunActive == 1 || run.PuskFlag == 1) {
    ctx_.messages.show(runActiveText());
    return End::Refused;
  }
  // Before any event runs: ВЫКЛ НАГРЕВ pressed while the stream starts stays
  // asked for.
  run.StopHeatRequest = 0;
  run.WorkCounter = 0;
  // The log first: when it cannot be created, nothing has been sent and the
  // controller does not start streaming.
  log_.open();
  report_.step([&] { link.resumeTracing(); });
  link.SendKeyCode(ctl::plainKey::kPB);

  running_ = true;
  endRequested_ = false;
  figures_ = {};
  struct Ended {
    TelemetryStream& stream;
    ~Ended() {
      stream.running_ = false;
      stream.endRequested_ = false;
      emit stream.ended();
    }
  } ended{*this};

  view_.setPbEnabled(false);
  view_.setLampColor(kWaitingColor);
  letEventsRun();

  // Without a line every read would come back empty at once, for ever.
  const End end = link.status().code == kPortWriteFailed ? End::NoLine : loop();
  if (end == End::ShortBlock && link.hooks.showControlStatus)
    link.hooks.showControlStatus(link.status().text);
  if (end == End::LineLost) {
    // The log ends where the frames did, and says so; told with the rest.
    link.MakeTimeStamps();
    log_.write(plot::loggap::started(link.LineStamp()));
    report_.note(lineLostText());
  }
  // Only a stop after a frame tells the controller: the key switches its
  // output on and off, and while no frame comes (or after a broken one) it
  // may not be sending at all.
  finish(end == End::Stopped);
  return end;
}

TelemetryStream::End TelemetryStream::loop() {
  RunState& run = state_;
  // The last read timed out without its bytes: no frame is on its way, so a
  // stop request need not wait for one.
  bool waiting = false;
  for (;;) {
    view_.setLampColor(kWaitingColor);
    letEventsRun();
    if (waiting && endWanted()) return End::StoppedWaiting;

    // The header is never examined; a short one is dropped and read afresh.
    if (readPart(0, frame::kHeaderBytes, false) != Read::Whole) {
      // A lost port fails every read at once: waiting on would spin.
      if (ctx_.link.portLost()) return End::LineLost;
      waiting = true;
      continue;
    }
    view_.setLampColor(kReadingColor);
    letEventsRun();

    Read got = readPart(frame::kHeaderBytes, frame::kRegisterBytes, true);
    if (got == Read::Whole)
      got = readPart(frame::kHeaderBytes + frame::kRegisterBytes, frame::kRamBytes, true);
    if (got != Read::Whole && ctx_.link.portLost()) return End::LineLost;
    if (got == Read::Short) return End::ShortBlock;
    waiting = got == Read::Nothing;
    if (waiting) continue;
    ++figures_.framesRead;

    view_.setLampColor(kWaitingColor);
    letEventsRun();
    ++run.WorkCounter;
    {
      StepTimer t(figures_.showNs);
      view_.setMeasurementText(decimalText(run.WorkCounter));
    }
    letEventsRun();
    showAndLog();
    letEventsRun();

    if (endWanted()) return End::Stopped;
  }
}

TelemetryStream::Read TelemetryStream::readPart(int offset, int count, bool block) {
  Link& link = ctx_.link;
  Link::View got;
  {
    StepTimer t(block ? figures_.readNs : figures_.waitNs);
    got = block ? link.RdStreamBlock(std::uint32_t(count)) : link.RdRaw(std::uint32_t(count));
  }
  // The view is the link's buffer: the next read reuses it.
  std::copy(got.begin(), got.end(), frame_.begin() + offset);
  if (int(got.size()) == count) return Read::Whole;
  return got.empty() ? Read::Nothing : Read::Short;
}

void TelemetryStream::showAndLog() {
  pid::StreamReading reading;
  {
    StepTimer t(figures_.decodeNs);
    reading = pid::readStreamFrame(frame_, pid::sampleTime(ctx_.link.clock()));
  }
  {
    StepTimer t(figures_.showNs);
    for (const pid::FieldText& row : reading.fields) view_.setField(row.name, row.text);
  }
  ++figures_.framesShown;
  trend_(reading.sample);
  if (log_.isOpen()) {
    StepTimer t(figures_.logNs);
    log_.writeTelemetry(reading.logTexts);
  }
  if (log_.isOpen()) ++figures_.framesLogged;
  // A log that failed is told now, the stream goes on without it.
  report_.show();
}

void TelemetryStream::finish(bool stopController) {
  Link& link = ctx_.link;
  if (stopController) link.SendKeyCode(ctl::plainKey::kPB);
  state_.StopHeatRequest = 0;
  view_.setLampColor(kEndedColor);
  view_.restoreStopCaption();
  struct Enable {
    StreamView& view;
    // P/B comes back even when the log does not close.
    ~Enable() { view.setPbEnabled(true); }
  } enable{view_};
  log_.close();
  letEventsRun();
  report_.show();
}

}  // namespace calorix
