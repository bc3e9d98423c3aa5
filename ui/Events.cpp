#include "ui/Events.h"

#include <QCoreApplication>

namespace calorix::ui {

void letEventsRun() {
  QCoreApplication::processEvents();
}

}  // namespace calorix::ui
