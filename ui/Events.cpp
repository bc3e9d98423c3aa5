#include "ui/Events.h"

#include <QCoreApplication>

namespace calorix::ui {

void letEventsRun() {
  QCoreApplication::processEvents();
}

void letNonInputEventsRun() {
  QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

}  // namespace calorix::ui
