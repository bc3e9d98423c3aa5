#pragma once
// "The furnace may still be heating": a stop whose key code did not reach
// the controller (line lost, controller silent, write failed) is told at
// once and then shown on the main window, in every view mode, until an
// exchange shows the controller's heater off (a later read-out, after the
// operator has stopped the program on the controller itself).
#include <QString>

#include <functional>

#include "pid/RunReport.h"
#include "ui/RunState.h"

namespace calorix {

inline const QString kStopUndeliveredText = QString::fromUtf8(
    "Стоп не передан контроллеру: нет связи. Печь может продолжать нагрев! Остановите "
    "программу на самом контроллере.");
inline const QString kFurnaceMayHeatText =
    QString::fromUtf8("ВНИМАНИЕ: стоп не передан контроллеру, печь может продолжать нагрев");

class HeatWarning {
 public:
  // show: the text to show on the main window, empty to take it away.
  HeatWarning(RunState& state, std::function<void(const QString&)> show)
      : state_(state), show_(std::move(show)) {}

  // A stop's key code was due and did not go through.
  void stopUndelivered();
  // Told once the stop has ended, unless its read-out found the heater off.
  void tell(RunReport& report) const;
  // An exchange read the controller's heater flag.
  void heaterSeen(bool on);

 private:
  RunState& state_;
  std::function<void(const QString&)> show_;
};

}  // namespace calorix
