#include "app/Startup.h"

#include <QApplication>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QShortcut>
#include <QTimer>

#include "app/QtMessages.h"
#include "app/Termination.h"
#include "link/Action.h"
#include "pid/TFormRabPID.h"
#include "programs/ProgramRead.h"
#include "programs/TFormDataDide.h"
#include "programs/TFormVvodProg.h"
#include "tools/TFormDopParam.h"
#include "tools/TFormDopRAM.h"
#include "tools/TFormIzmKoef.h"
#include "trend/TFormGrafik.h"

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
  // A port lost while open is told once, after the exchange that found it;
  // its return once too.
  const auto tellAfterTheExchange = [this](const QString& text) {
    TForm1* main = find<TForm1>();
    if (!main) {
      messages_->show(text);
      return;
    }
    QTimer::singleShot(0, main, [this, text] { messages_->show(text); });
  };
  if (!link_->hooks.portLost) link_->hooks.portLost = tellAfterTheExchange;
  if (!link_->hooks.portBack) link_->hooks.portBack = tellAfterTheExchange;

  context_ = std::make_unique<WindowContext>(
      WindowContext{*link_, *messages_, run_,
                    [this] {
                      if (auto* main = find<TForm1>()) main->mirror().RdInd_IndPanel();
                    },
                    [this] {
                      auto* main = find<TForm1>();
                      return main ? main->mirror().programDisplayText() : QString();
                    }});

  createWindows();
  form1().setShowHidden(setup.showHidden);
  watchTheLine();

  // Closing the main window ends the program: the secondary windows go with it.
  TForm1& main = form1();
  QObject::connect(&main, &TForm1::closed, &main, [this, &main] {
    for (const auto& w : windows_)
      if (w.get() != &main) w->close();
  });
}

// The console's windows in their fixed creation order, each secondary one
// with the button of the main window that shows it. A new window is one line
// here (and its include).
void Console::createWindows() {
  // The password window is the last one created; the prompt reaches it only
  // at the first show, when every window exists.
  add<TForm1>(*context_, run_, [this] {
    TForm2* password = find<TForm2>();
    if (!password) return QString();
    return passwordAnswer_ ? passwordAnswer_(*password) : password->ask();
  });
  addShownBy<TFormVvodProg>("Button17", &TFormVvodProg::InitProgGrid);
  addShownBy<TFormIzmKoef>("Button18");
  addShownBy<TFormDopParam>("Button25");
  addShownBy<TFormDopRAM>("Button26");
  addShownBy<TFormRabPID>("Button30");
  form1().parts().attachPidWindow(window<TFormRabPID>());
  addShownBy<TFormDataDide>("Button32");
  add<TForm2>();
  addTrendWindow();
}

// The trend window, beyond the designed eight: fed by the run timers and the
// stream, shown by "График" of the PID work window and by Ctrl+G.
void Console::addTrendWindow() {
  GrafikHooks hooks;
  hooks.editorProgram = [this]() -> std::optional<HeldProgram> {
    const TFormDataDide& editor = window<TFormDataDide>();
    if (editor.currentProgram() == 0) return std::nullopt;
    return HeldProgram{editor.currentProgram(), editor.loadedTable()};
  };
  hooks.readProgram = [this](int program) { return readProgram(*link_, program); };
  TFormGrafik& trend = add<TFormGrafik>(*context_, std::move(hooks));
  form1().parts().setTrendFeed(TrendFeed{[&trend](const plot::Sample& s) { trend.frame(s); }});

  const auto show = [&trend] {
    trend.show();
    trend.raise();
    trend.activateWindow();
  };
  window<TFormRabPID>().setShowTrend(show);
  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_G), &form1());
  shortcut->setObjectName(QStringLiteral("ShortcutGrafik"));
  QObject::connect(shortcut, &QShortcut::activated, &trend, show);
}

// The line watch and the port chooser: a timer, a shortcut and a context
// menu, none of them a designed control.
void Console::watchTheLine() {
  TForm1& main = form1();
  auto* watch = new QTimer(&main);
  watch->setObjectName(QStringLiteral("LineWatch"));
  QObject::connect(watch, &QTimer::timeout, &main, [this] { watchLine(); });
  watch->start(kLineWatchMs);

  auto* shortcut = new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_P), &main);
  shortcut->setObjectName(QStringLiteral("ShortcutPort"));
  QObject::connect(shortcut, &QShortcut::activated, &main, [this] { openPortChooser(); });

  // The link status field keeps its own menu and gains the chooser.
  if (auto* status = main.findChild<QLineEdit*>(QStringLiteral("Edit_Contrl"))) {
    status->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(
        status, &QWidget::customContextMenuRequested, status, [this, status](const QPoint& at) {
          QMenu* menu = status->createStandardContextMenu();
          menu->setObjectName(QStringLiteral("LinkStatusMenu"));
          menu->setAttribute(Qt::WA_DeleteOnClose);
          menu->addSeparator();
          QAction* choose =
              menu->addAction(QString::fromUtf8("Выбрать порт..."), [this] { openPortChooser(); });
          choose->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
          menu->popup(status->mapToGlobal(at));
        });
  }
}

void Console::watchLine() {
  link_->watchLine();
}

PortChooser* Console::openPortChooser() {
  TForm1& main = form1();
  // One at a time; a closed one waits to be deleted and does not count.
  for (auto* open : main.findChildren<PortChooser*>()) {
    if (!open->isVisible()) continue;
    open->raise();
    open->activateWindow();
    return open;
  }
  auto* chooser = new PortChooser(&main, portLister_, link_->deviceName());
  QObject::connect(chooser, &QDialog::accepted, &main,
                   [this, chooser] { choosePort(chooser->device()); });
  chooser->open();
  return chooser;
}

bool Console::choosePort(const QString& device) {
  if (device.isEmpty()) return false;
  bool chosen = false;
  bool opened = false;
  // A ZaroZ.ini that cannot be written ends it with its message; the port in
  // use stays.
  const bool ran = runAction(*link_, *messages_, [&] {
    opened = link_->choosePort(device);
    chosen = true;
  });
  if (!ran)
    messages_->show(
        QString::fromUtf8("Идёт обмен с контроллером: порт можно сменить, когда он закончится."));
  else if (chosen && !opened)
    messages_->show(QString::fromUtf8("Порт %1 не открылся: нет такого устройства, или оно занято.")
                        .arg(device));
  return opened;
}

template <class W, class... Args>
W& Console::add(Args&&... args) {
  auto window = std::make_unique<W>(std::forward<Args>(args)...);
  W& made = *window;
  windows_.push_back(std::move(window));
  return made;
}

template <class W>
void Console::addShownBy(const char* button, void (W::*afterShow)()) {
  W& shown = add<W>(*context_);
  // Showing a window exchanges nothing with the controller.
  [[maybe_unused]] const bool connected =
      form1().parts().connectWindowButton(QString::fromLatin1(button), [&shown, afterShow] {
        shown.show();
        shown.raise();
        shown.activateWindow();
        if (afterShow) (shown.*afterShow)();
      });
  Q_ASSERT(connected);
}

Console::~Console() {
  // The windows go before the context and the link they refer to, the last
  // created first.
  while (!windows_.empty()) windows_.pop_back();
}

void closeOnTerminationSignals(QWidget& window) {
  watchTermination(&window, [&window] { window.close(); });
}

}  // namespace calorix
