#include "app/Startup.h"

#include <QApplication>
#include <QSocketNotifier>

#include "app/QtMessages.h"
#include "pid/TFormRabPID.h"
#include "programs/TFormDataDide.h"
#include "programs/TFormVvodProg.h"
#include "tools/TFormDopParam.h"
#include "tools/TFormDopRAM.h"
#include "tools/TFormIzmKoef.h"

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <signal.h>
#include <unistd.h>
#endif

namespace calorix {

Console::Console(ConsoleSetup setup) : passwordAnswer_(std::move(setup.passwordAnswer)) {
  if (setup.messages) {
    messages_ = setup.messages;
  } else {
    ownMessages_ = std::make_unique<QtMessages>();
    messages_ = ownMessages_.get();
  }
  if (setup.link) {
    link_ = setup.link;
  } else {
    ownClock_ = std::make_unique<RealClock>();
    setup.linkConfig.clock = ownClock_.get();
    ownLink_ = std::make_unique<Link>(std::move(setup.linkConfig));
    link_ = ownLink_.get();
  }
  // A notice at start-up (a setting out of range) is shown and start-up goes on.
  if (!link_->hooks.notice)
    link_->hooks.notice = [this](const QString& text) { messages_->show(text); };

  context_ = std::make_unique<WindowContext>(WindowContext{
      *link_, *messages_, run_,
      [this] {
        if (form1_) form1_->mainPanel().RdInd_IndPanel();
      },
      [this] { return form1_ ? form1_->mainPanel().programDisplayText() : QString(); }});

  // The password window is the last one created; the prompt reaches it only
  // at the first show, when every window exists.
  form1_ = std::make_unique<TForm1>(*context_, [this] {
    if (!form2_) return QString();
    return passwordAnswer_ ? passwordAnswer_(*form2_) : form2_->ask();
  });
  vvodProg_ = std::make_unique<TFormVvodProg>(*context_);
  izmKoef_ = std::make_unique<TFormIzmKoef>(*context_);
  dopParam_ = std::make_unique<TFormDopParam>(*context_);
  dopRam_ = std::make_unique<TFormDopRAM>(*context_);
  rabPid_ = std::make_unique<TFormRabPID>(*context_);
  dataDide_ = std::make_unique<TFormDataDide>(*context_);
  form2_ = std::make_unique<TForm2>();

  SecondaryWindows windows;
  windows.vvodProg = vvodProg_.get();
  windows.izmKoef = izmKoef_.get();
  windows.dopParam = dopParam_.get();
  windows.dopRam = dopRam_.get();
  windows.rabPid = rabPid_.get();
  windows.dataDide = dataDide_.get();
  form1_->mainPanel().setWindows(windows);

  // Closing the main window ends the program: the secondary windows go with it.
  QObject::connect(form1_.get(), &TForm1::closed, form1_.get(), [this] {
    for (QWidget* w : std::initializer_list<QWidget*>{vvodProg_.get(), izmKoef_.get(),
                                                      dopParam_.get(), dopRam_.get(), rabPid_.get(),
                                                      dataDide_.get(), form2_.get()})
      w->close();
  });
}

Console::~Console() {
  // The windows go before the context and the link they refer to.
  form2_.reset();
  dataDide_.reset();
  rabPid_.reset();
  dopRam_.reset();
  dopParam_.reset();
  izmKoef_.reset();
  vvodProg_.reset();
  form1_.reset();
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

void closeOnTerminationSignals(QWidget& window) {
  if (signalPipe[0] < 0) {
    if (::pipe(signalPipe) != 0) return;
    for (int fd : signalPipe) {
      ::fcntl(fd, F_SETFD, FD_CLOEXEC);
      ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
  }
  auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &window);
  QObject::connect(notifier, &QSocketNotifier::activated, &window, [&window] {
    unsigned char byte = 0;
    while (::read(signalPipe[0], &byte, 1) > 0) {
    }
    window.close();
  });
  struct sigaction action {};
  action.sa_handler = onTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGINT, &action, nullptr);
  ::sigaction(SIGTERM, &action, nullptr);
}
#else
void closeOnTerminationSignals(QWidget&) {}
#endif

}  // namespace calorix
