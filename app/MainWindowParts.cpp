#include "app/MainWindowParts.h"

namespace calorix {

MainWindowParts::MainWindowParts(QWidget* form, WindowContext& context) : QObject(form) {
  mirror_ = new PanelMirror(form, context);
  service_ = new ServiceArea(form, context, *mirror_);
  pusk_ = new PuskRun(context, mirror_->runView(), this);
  mirror_->setPuskTimer(pusk_->hooks());
}

bool MainWindowParts::connectWindowButton(const QString& name, std::function<void()> open) {
  return mirror_->connectWindowButton(name, open) || service_->connectWindowButton(name, open);
}

}  // namespace calorix
