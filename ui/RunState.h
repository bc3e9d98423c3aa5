#pragma once
// The state of a heating run and of the telemetry stream, under the names the
// console was designed with. Each kind of run has one owner in pid/ (PuskRun,
// PidRun, TelemetryStream) that alone writes these flags, through the
// RunState& it is built with; every other part of the console sees them
// through the const RunState& of its WindowContext.
#include <QString>

#include <cstdint>

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

struct RunState {
  // The Пуск/Стоп toggle: 1 from Пуск to Стоп (or to the end of the program).
  std::uint8_t PuskFlag = 0;
  // A Пуск or PID-window run holds the line; PidStopRequest: its next tick stops it.
  std::uint8_t PidRunActive = 0;
  std::uint8_t PidStopRequest = 0;
  // Пуск: the next work-log line is written even at stage 0.
  std::uint8_t WorkLineDue = 0;
  // Frames of the current run or stream.
  qint32 WorkCounter = 0;
  // The telemetry stream's: the controller outputs its RAM; ВЫКЛ НАГРЕВ pressed.
  std::uint8_t RamOutEnabled = 0;
  std::uint8_t StopHeatRequest = 0;
  RunOwner Owner = RunOwner::None;  // set with PidRunActive := 1, cleared by the stop
  // 1 from a stop whose key code did not reach the controller until an
  // exchange shows its heater off: the furnace may still be heating.
  std::uint8_t FurnaceMayHeat = 0;
};

// Пуск pressed between Стоп and the tick that carries the stop out.
inline const QString kPuskStopPendingText = QString::fromUtf8(
    "Идет остановка работы, запущенной клавишей Пуск/Стоп. Дождитесь ее окончания и "
    "нажмите Пуск снова.");

}  // namespace calorix
