#include "app/MainWindowParts.h"

namespace calorix {

MainWindowParts::MainWindowParts(QWidget* form, WindowContext& context, RunState& state)
    : QObject(form) {
  mirror_ = new PanelMirror(form, context);
  service_ = new ServiceArea(form, context, *mirror_);
  pusk_ = new PuskRun(context, state, mirror_->runView(), this);
  mirror_->setPuskStopKey(pusk_->key());
  pid_ = new PidRun(context, state, this);
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

bool MainWindowParts::connectWindowButton(const QString& name, std::function<void()> open) {
  return mirror_->connectWindowButton(name, open) || service_->connectWindowButton(name, open);
}

}  // namespace calorix
