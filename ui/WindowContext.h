#pragma once
// What every window of the console shares: the link, the message interface,
// a read-only view of the run state (ui/RunState.h: only the run owners of
// pid/ write it) and the two things of the main window's panel that other
// windows use.
#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>

#include "core/Messages.h"
#include "link/Link.h"
#include "ui/RunState.h"

namespace calorix {

// A timer tick that finds the link busy (another exchange lets events run)
// comes back this much later instead of being lost.
inline constexpr int kBusyRetryMs = 50;

namespace colors {
inline const QColor kPusk(240, 230, 140);          // khaki: Пуск pressed
inline const QColor kStop(210, 180, 140);          // tan: Стоп pressed, end detected
inline const QColor kRunning(255, 165, 0);         // orange: first tick of a Пуск run
inline const QColor kActiveBorder(180, 180, 180);  // the system colour of an active window border
}  // namespace colors

struct WindowContext {
  Link& link;
  Messages& messages;
  const RunState& run;
  // RdInd_IndPanel of the main window: reads the controller's panel and repaints it.
  std::function<void()> readPanel;
  // Text of the main window's program display EditProg.
  std::function<QString()> programDisplayText;
};

}  // namespace calorix
