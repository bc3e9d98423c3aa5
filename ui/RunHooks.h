#pragma once
// How the main window's panel (panel/) and the Пуск run (pid/) reach each
// other without including each other: the panel offers a RunView, the run
// owner what the Пуск/Стоп key forwards to it, and app/ hands each to the
// other.
#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>

namespace calorix {

// What a Пуск run changes on the main window's panel; the panel provides it.
// The run owner keeps what it has shown: nothing is read back from the panel.
struct RunView {
  // Repaints the displays, lamps, bars and blink flags from the image of
  // controller RAM that a PID frame left (index = RAM address).
  std::function<void(const std::uint8_t* ramMirror)> showPanelFromMirror;
  std::function<void(const QString&)> setWorkCounterText;  // Edit37
  std::function<void(const QColor&)> setPanelColor;        // Panel1
  std::function<void()> showKeyPressed;                    // ShapePuskStop drawn pressed
  // A warning shown over the panel in every view mode; empty takes it away.
  std::function<void(const QString&)> showWarning;
};

// Пуск/Стоп pressed: the panel forwards the press, the Пуск run owner decides
// what it is and does it (under the exchange guard it takes itself).
using PuskStopKey = std::function<void()>;

// A read-out of the panel found the controller's heater on (true) or off.
using HeaterSeen = std::function<void(bool on)>;

}  // namespace calorix
