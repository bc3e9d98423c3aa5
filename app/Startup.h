#pragma once
// Builds the console in its designed order: the message boxes, the clock, the
// link, the run state, the window context, then the eight windows and the
// trend window from the one list in Console::createWindows. The program and
// the tests take the same path; tests inject their own link, message boxes
// and password answer.
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

#include "app/PortChooser.h"
#include "app/TForm1.h"
#include "app/TForm2.h"
#include "core/Clock.h"
#include "core/Messages.h"
#include "link/Link.h"
#include "ui/WindowContext.h"

namespace calorix {

// Answers the password window; the default shows TForm2 modally until the
// operator closes it.
using PasswordAnswer = std::function<QString(TForm2&)>;

struct ConsoleSetup {
  // Used when link is null: a RealClock and this configuration make the link.
  LinkConfig linkConfig;
  Link* link = nullptr;          // not owned
  Messages* messages = nullptr;  // not owned; QtMessages when null
  PasswordAnswer passwordAnswer;
  bool showHidden = false;  // --show-hidden (TForm1::setShowHidden)
};

class Console {
 public:
  explicit Console(ConsoleSetup setup);
  ~Console();
  Console(const Console&) = delete;
  Console& operator=(const Console&) = delete;

  Link& link() { return *link_; }
  Messages& messages() { return *messages_; }
  // The run state as every window sees it; only the run owners write it.
  const RunState& run() const { return run_; }
  WindowContext& context() { return *context_; }

  // The windows in their creation order, and one of them by its class
  // (console.window<TFormRabPID>()); null before it is created.
  const std::vector<std::unique_ptr<QWidget>>& windows() const { return windows_; }
  template <class W>
  W* find() const {
    for (const auto& w : windows_)
      if (auto* found = dynamic_cast<W*>(w.get())) return found;
    return nullptr;
  }
  template <class W>
  W& window() const {
    return *find<W>();
  }
  TForm1& form1() const { return window<TForm1>(); }
  TForm2& form2() const { return window<TForm2>(); }

  // ---- the line ----------------------------------------------------------
  // One tick of the line watch (every kLineWatchMs): a lost port is looked
  // for again; the loss and the return are told in a message box each.
  void watchLine();
  // The port chooser (Ctrl+P, the context menu of Edit_Contrl), shown
  // without a modal loop; its choice goes to choosePort.
  PortChooser* openPortChooser();
  // Keeps the device in ZaroZ.ini and opens it in place of the port in use,
  // outside any exchange; says why when that cannot be done. True when open.
  bool choosePort(const QString& device);
  // Where the chooser gets its ports (tests hand in their own).
  void setPortLister(PortLister lister) { portLister_ = std::move(lister); }

 private:
  void createWindows();
  void addTrendWindow();
  void watchTheLine();
  template <class W, class... Args>
  W& add(Args&&... args);
  // A secondary window that a button of the main window shows; afterShow,
  // when given, runs once it is shown.
  template <class W>
  void addShownBy(const char* button, void (W::*afterShow)() = nullptr);

  // Declared in creation order; destroyed in reverse, the windows first.
  std::unique_ptr<Messages> ownMessages_;
  Messages* messages_ = nullptr;
  std::unique_ptr<Clock> ownClock_;
  std::unique_ptr<Link> ownLink_;
  Link* link_ = nullptr;
  RunState run_;
  std::unique_ptr<WindowContext> context_;
  PasswordAnswer passwordAnswer_;
  PortLister portLister_ = [] { return listPorts(); };
  std::vector<std::unique_ptr<QWidget>> windows_;
};

// SIGINT and SIGTERM close the window as its close box does (app/Termination.h
// has the handler itself).
void closeOnTerminationSignals(QWidget& window);

}  // namespace calorix
