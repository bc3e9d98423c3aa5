#pragma once
// The one place where a handler lets pending window events run in the middle
// of its work (the panel read-out, the telemetry loop, the Пуск/Стоп key, a
// save of the program editor): the window stays alive while the handler
// holds the exchange guard, so whatever runs meanwhile finds the link busy.
namespace calorix::ui {

void letEventsRun();
// Between the steps of a long transfer: what waits besides input runs (a
// close or a termination signal among it), so the transfer holds neither off
// for longer than one step; the window still takes no input meanwhile.
void letNonInputEventsRun();

}  // namespace calorix::ui
