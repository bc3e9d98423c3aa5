#include "app/MainWindowParts.h"

namespace calorix {

MainWindowParts::MainWindowParts(QWidget* form, WindowContext& context, RunState& state)
    : QObject(form), state_(state) {
  mirror_ = new PanelMirror(form, context);
  service_ = new ServiceArea(form, context, *mirror_);
  const RunView view = mirror_->runView();
  warning_ = std::make_unique<HeatWarning>(state, view.showWarning);
  mirror_->setHeaterSeen([this](bool on) { warning_->heaterSeen(on); });
  pusk_ = new PuskRun(context, state, view, this);
  pusk_->setHeatWarning(warning_.get());
  mirror_->setPuskStopKey(pusk_->key());
  pid_ = new PidRun(context, state, this);
  pid_->setHeatWarning(warning_.get());
  connect(pusk_, &PuskRun::runEnded, this, &MainWindowParts::runEnded);
  connect(pid_, &PidRun::runEnded, this, &MainWindowParts::runEnded);
  telemetry_ = new TelemetryStream(context, state, service_->streamView(), this);
  // P/B runs it under the exchange guard it holds for the whole stream.
  service_->setStreamKeys(telemetry_->keys());
}

void MainWindowParts::setTrendFeed(const TrendFeed& feed) {
  pusk_->setTrendFeed(feed);
  pid_->setTrendFeed(feed);
  telemetry_->setTrendFeed(feed);
}

void MainWindowParts::stopRunTimers() {
  pusk_->stopTimers();
  pid_->stop();
}

bool MainWindowParts::stopRunNow() {
  if (state_.PidRunActive != 1) return true;
  const bool pusk = state_.Owner == RunOwner::Pusk;
  if (pusk) {
    if (state_.PuskFlag == 1) pusk_->pressPuskStop();
    pusk_->tick();
  } else {
    pid_->requestStop();
    pid_->tick();
  }
  return state_.PidRunActive != 1;
}

bool MainWindowParts::connectWindowButton(const QString& name, std::function<void()> open) {
  return mirror_->connectWindowButton(name, open) || service_->connectWindowButton(name, open);
}

}  // namespace calorix
