#pragma once
// Before the toolkit starts: without a display it would abort in its own
// words, so the console says in one line why it cannot open a window.
#include <QString>

namespace calorix {

// Empty when a window may open; else one line (no line end) saying why not.
// A platform chosen with -platform or QT_QPA_PLATFORM is taken as given.
QString missingDisplay(int argc, char** argv);

// Around the toolkit's start: a display that is named but cannot be reached
// ends the program with one line and exit code 1 instead of an abort; the
// toolkit's other start-up messages pass through as they were.
void guardToolkitStart();
void endToolkitStartGuard();

}  // namespace calorix
