#pragma once
// What every window of the console shares: the link, the message interface,
// the run state of the main window and the two things of the main window's
// panel that other windows use.
#include <QColor>
#include <QString>

#include <cstdint>
#include <functional>

#include "core/Messages.h"
#include "link/Link.h"

namespace calorix {

// Which start set PidRunActive. A Пуск run and a run of the PID work window
// would drive two timers on the same flags: each start refuses while the
// other's run is on.
enum class RunOwner : std::uint8_t { None, Pusk, PidWindow };
// What each start says when it refuses; nothing is sent and nothing changes.
inline const QString kPuskRefusedText = QString::fromUtf8(
    "Идет нагрев, включенный в окне работы с ПИДом. Сначала выключите его кнопкой "
    "\"Выкл нагрева\" в том окне.");
inline const QString kPidStartRefusedText = QString::fromUtf8(
    "Идет работа, запущенная клавишей Пуск/Стоп. Сначала остановите ее (Стоп) и "
    "дождитесь окончания.");

// State of a heating run, owned by the main window and shared by the Пуск/Стоп
// key, the PID work window, the run timers and the telemetry stream.
struct RunState {
  std::uint8_t PuskFlag = 0;
  std::uint8_t PidRunActive = 0;
  std::uint8_t PidStopRequest = 0;
  std::uint8_t WorkLineDue = 0;
  qint32 WorkCounter = 0;
  std::uint8_t RamOutEnabled = 0;
  std::uint8_t StopHeatRequest = 0;
  RunOwner Owner = RunOwner::None;  // set with PidRunActive := 1, cleared by the stop
};

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
  RunState& run;
  // RdInd_IndPanel of the main window: reads the controller's panel and repaints it.
  std::function<void()> readPanel;
  // Text of the main window's program display EditProg.
  std::function<QString()> programDisplayText;
};

}  // namespace calorix
