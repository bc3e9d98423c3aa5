#include "app/MainWindowParts.h"

namespace calorix {

MainWindowParts::MainWindowParts(QWidget* form, WindowContext& context) : QObject(form) {
  mirror_ = new PanelMirror(form, context);
  service_ = new ServiceArea(form, context, *mirror_);
  pusk_ = new PuskRun(context, mirror_->runView(), this);
  mirror_->setPuskTimer(pusk_->hooks());
  pid_ = new PidRun(context, this);
  telemetry_ = new TelemetryStream(context, service_->streamView(), this);
  // P/B runs it under the exchange guard it holds for the whole stream.
  service_->setTelemetryStream([this] { telemetry_->run(); });
}

void MainWindowParts::setTrendFeed(const TrendFeed& feed) {
  pusk_->setTrendFeed(feed);
  pid_->setTrendFeed(feed);
  telemetry_->setTrendFeed(feed);
  // The PID work window's start reads the first frame of its run itself.
  if (pidWindow_) pidWindow_->setTrendFeed(feed);
}

void MainWindowParts::stopRunTimers() {
  pusk_->TimerPuskPidNew().stop();
  pid_->stop();
}

bool MainWindowParts::connectWindowButton(const QString& name, std::function<void()> open) {
  return mirror_->connectWindowButton(name, open) || service_->connectWindowButton(name, open);
}

}  // namespace calorix
