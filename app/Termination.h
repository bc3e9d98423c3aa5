#pragma once
// SIGINT and SIGTERM end the console cleanly at any moment from the first
// line of main on: during start-up (a message box open, a first read-out on a
// silent line), while the window runs, while it closes. The handler only
// writes the signal into a pipe; a notifier on the UI thread reads it and
// runs what the program asked for. Does nothing where there are no such
// signals.
#include <QObject>

#include <functional>

namespace calorix {

// Installs the handler; call before the first file is touched. Signals that
// come before anyone watches wait in the pipe. Safe to call again.
void installTerminationHandler();

// Once the application object exists: onSignal runs on the UI thread for the
// signals that came and that come, while context lives.
void watchTermination(QObject* context, std::function<void()> onSignal);

// A termination signal has been seen by a watcher: nobody is there to answer
// a message box any more.
bool terminationRequested();

}  // namespace calorix
