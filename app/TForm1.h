#pragma once
// The main window frame: creation (settings, port, timers, view mode), the
// access lock of the engineering view modes and the first read of the panel at
// the first show, and closing the port and the log files. The panel area, the
// service area and the run timers are its MainWindowParts.
#include <QString>
#include <QWidget>

#include <array>
#include <functional>
#include <memory>

#include "app/MainWindowParts.h"
#include "ui/WindowContext.h"

namespace calorix {

// Asks the operator for the engineering password and returns what was typed.
using PasswordPrompt = std::function<QString()>;

inline const QString kAccessPassword = QStringLiteral("52738416");

// Asked by the close box while a heating run holds the line.
inline const QString kCloseDuringRunText = QString::fromUtf8(
    "Идет нагрев по программе контроллера. Остановить его перед выходом?\n"
    "OK - остановить нагрев, затем закрыть программу.\n"
    "Отмена - закрыть программу, оставив печь работать по своей программе.");

class TForm1 : public QWidget {
  Q_OBJECT
 public:
  // Builds the controls, then runs the creation steps (LoadSettings among
  // them). The prompt is asked at the first show when the lock applies. The
  // run state goes to the run owners among the parts.
  TForm1(WindowContext& context, RunState& runState, PasswordPrompt passwordPrompt);
  ~TForm1() override;

  MainWindowParts& parts() { return *parts_; }
  PanelMirror& mirror() { return parts_->mirror(); }
  // The access markers as the window holds them (relocked or unlocked).
  const std::array<qint32, 3>& codes() const { return codes_; }
  bool passwordAsked() const { return passwordAsked_; }
  // --show-hidden: at the first show, where the service area can be seen
  // (view mode 4, unlocked), the controls hidden as designed are shown too.
  void setShowHidden(bool show) { showHidden_ = show; }

  // The first read of the panel, queued by the first show once the access
  // lock is settled; runs once (again later when the link was busy).
  void firstReadOut();

  // What the last exchange found of the controller, where every view mode
  // shows it: a note after the title, the panel's tooltip and its displays
  // unlit (nothing while it answers), so that "no answer" never passes for a
  // panel of zeros.
  void showLineState(LineState state);

  // Enabled states of Обновить, Данные печи, Работа с ПИДом, then the outer size.
  void layoutSwitch(bool obnovit, bool dannyePechi, bool rabotaSPidom, int outerWidth,
                    int outerHeight);

 signals:
  // The window is shown for the first time (before any password prompt).
  void firstShown();
  // The window has closed and released the port and both files.
  void closed();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void create();
  void applyViewMode();
  void relock();
  void applyAccessLock();
  // Writes the triple to "Vid prog" CodeProg1..3 in that order.
  void writeCodes(const std::array<qint32, 3>& codes);

  WindowContext& ctx_;
  PasswordPrompt passwordPrompt_;
  MainWindowParts* parts_ = nullptr;  // a child QObject of this window
  std::array<qint32, 3> codes_{};
  bool firstShowDone_ = false;
  bool passwordAsked_ = false;
  bool closedDone_ = false;
  bool firstReadDone_ = false;
  bool showHidden_ = false;
  bool closeAfterStream_ = false;
  bool closeAfterRun_ = false;
  // The title as start-up built it; showLineState adds its note to it.
  QString titleBase_;
};

}  // namespace calorix
