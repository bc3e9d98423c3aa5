#include "app/Termination.h"

#include <QSocketNotifier>

#include <atomic>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace calorix {

namespace {
std::atomic<bool> requested{false};
}  // namespace

bool terminationRequested() {
  return requested.load();
}

#ifdef Q_OS_UNIX
namespace {
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int sig) {
  const unsigned char byte = static_cast<unsigned char>(sig);
  // Only async-signal-safe work here; the result cannot be acted upon.
  [[maybe_unused]] ssize_t written = ::write(signalPipe[1], &byte, 1);
}
}  // namespace

void installTerminationHandler() {
  if (signalPipe[0] < 0) {
    if (::pipe(signalPipe) != 0) return;
    for (int fd : signalPipe) {
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
  }
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}

void watchTermination(QObject* context, std::function<void()> onSignal) {
  installTerminationHandler();
  if (signalPipe[0] < 0) return;
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, context, [onSignal] {
    unsigned char byte = 0;
    bool any = false;
    while (::read(signalPipe[0], &byte, 1) > 0) any = true;
    if (!any) return;
    requested = true;
    onSignal();
  });
}
#else
void installTerminationHandler() {}
void watchTermination(QObject*, std::function<void()>) {}
#endif

}  // namespace calorix
