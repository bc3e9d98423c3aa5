#pragma once
// How the main window's panel (panel/) and the run timers of the main window
// (pid/) reach each other without including each other: each side offers one
// of these, and app/ hands it to the other.
#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>

namespace calorix {

// What a run changes on the main window's panel; the panel provides it.
struct RunView {
  // Repaints the displays, lamps, bars and blink flags from the image of
  // controller RAM that a PID frame left (index = RAM address).
  std::function<void(const std::uint8_t* ramMirror)> showPanelFromMirror;
  std::function<void(const QString&)> setWorkCounterText;  // Edit37
  std::function<QColor()> panelColor;                      // Panel1
  std::function<void(const QColor&)> setPanelColor;
};

// What the Пуск/Стоп key asks of the Пуск run timer; the timer provides it.
// The caller holds the exchange guard.
struct PuskTimerHooks {
  std::function<void()> writeRunLine;     // the run's first work-log line
  std::function<void()> arm;              // the first tick of the run
  std::function<void()> stopReadForPolz;  // TimerForReadForPolz off
};

}  // namespace calorix
