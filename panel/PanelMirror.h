#pragma once
// The front-panel mirror of the main window: the panel area that looks like
// the controller's front panel, the bottom row and the link light; the panel
// read-out, blinking, the link-light cycle, the keys and the encoder. The
// Пуск/Стоп key only forwards its press to the Пуск run's owner (pid/), which
// repaints the panel through the RunView given to it. The main window creates
// it while it is being created, before LoadSettings.
#include <QColor>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "panel/PanelDecode.h"
#include "panel/Widgets.h"
#include "ui/MouseButton.h"
#include "ui/RunHooks.h"
#include "ui/WindowContext.h"

namespace calorix {

class PanelMirror : public QObject {
  Q_OBJECT
 public:
  // Builds the panel area, the bottom row and ShapeTimer1 as children of
  // form at their designed places, and the timers TimerMigInd and Timer1.
  PanelMirror(QWidget* form, WindowContext& context);

  // Reads the controller's panel and repaints the mirror (caller holds the
  // exchange guard).
  void RdInd_IndPanel();
  QString programDisplayText() const;

  // Start-up pieces the frame calls in its order.
  void setLinkLightYellow();       // ShapeTimer1 yellow
  void setBarHeights(int height);  // EditNagrev, EditStabil, EditOstuv
  void startBlinking();            // TimerMigInd, 600 ms, runs to the end
  // Why the panel does not show the controller (it does not answer): the
  // tooltip of the whole panel area, and the three displays unlit (silver)
  // as a controller without power shows them, blinking included. Empty while
  // it answers: the displays are lit again.
  void setLineNote(const QString& text);

  QPushButton* button33() const { return Button33; }  // "Обновить"
  QPushButton* button32() const { return Button32; }  // "Данные печи"
  QPushButton* button30() const { return Button30; }  // "Работа с ПИДом"

  // The bottom-row buttons that show another window (Button30, Button32) run
  // open on their press; false for any other name.
  bool connectWindowButton(const QString& name, std::function<void()> open);

  // The Пуск run: what a run changes here, and its owner, to which the
  // Пуск/Стоп key forwards every press.
  RunView runView();
  void setPuskStopKey(PuskStopKey key) { puskStopKey_ = std::move(key); }
  // Every read-out that gets the controller's flags tells whether its heater is on.
  void setHeaterSeen(HeaterSeen seen) { heaterSeen_ = std::move(seen); }

  // The link-light cycle rests at its yellow phase, or goes on ("Отключение
  // связи", "Возобновление связи" of the service area).
  void pauseLink() { LinkPaused = 1; }
  void resumeLink();

  // The timers and their ticks, for tests that drive them without waiting.
  void TimerMigIndTick();
  void Timer1Tick();
  QTimer* timerMigInd() const { return TimerMigInd; }
  QTimer* timer1() const { return Timer1; }
  int pollState() const { return PollState; }
  std::uint8_t blinkFlags() const { return BlinkFlags; }

 private:
  void buildPanelArea();
  void connectKeys();
  void note(const QString& line);
  bool guarded(const std::function<void()>& action);
  void paintIndication(const panel::Indication& ind);
  void showPanelFromMirror(const std::uint8_t* ramMirror);
  void Timer1Step();
  // The display text colour: red, or silver while the controller is silent.
  QColor litColor() const;

  void pressKey(panel::DrawnKey* key, std::uint8_t code);
  void releaseKey(panel::DrawnKey* key);
  void pressArrow(std::uint8_t code);
  void releaseArrow();
  void setPanelColor(const QColor& color);

  QWidget* form_;
  WindowContext& ctx_;
  Link& link_;
  PuskStopKey puskStopKey_;
  HeaterSeen heaterSeen_;

  // ---- read-out, blinking and the link light ----------------------------
  std::uint8_t BlinkFlags = 0;
  std::uint8_t BlinkPhase = 1;
  int PollState = 0;
  std::uint8_t LinkPaused = 0;
  // The controller does not answer: the displays stay unlit.
  bool unlit_ = false;
  // Link-light periods, from the base 500 ms as the controller's tool derives them.
  static constexpr int kBasePeriod = 500;
  int periodGreen = kBasePeriod * 100 / 250;
  int periodRed = kBasePeriod * 100 / 250;
  int periodYellow = kBasePeriod * 100 / 2000;
  int periodAfterRead = kBasePeriod * 100 / 2000;
  QTimer* TimerMigInd = nullptr;
  QTimer* Timer1 = nullptr;

  // ---- controls -----------------------------------------------------------
  QGroupBox* Panel1 = nullptr;
  QGroupBox* GroupBox1 = nullptr;
  QGroupBox* RezimRab = nullptr;
  QGroupBox* Param = nullptr;
  QGroupBox* VvodParam = nullptr;
  QLineEdit* EditProg = nullptr;
  QLineEdit* EditStup = nullptr;
  QLineEdit* EditParam = nullptr;
  QLineEdit* EditNagrev = nullptr;
  QLineEdit* EditStabil = nullptr;
  QLineEdit* EditOstuv = nullptr;
  panel::Circle* SvPuskStop = nullptr;
  panel::Circle* SvGrad = nullptr;
  panel::Circle* SvMin = nullptr;
  panel::Circle* SvSpeed = nullptr;
  panel::DrawnKey* keyEncoder = nullptr;
  panel::DrawnKey* keyProg = nullptr;
  panel::DrawnKey* keyStup = nullptr;
  panel::DrawnKey* keyParam = nullptr;
  panel::DrawnKey* keyPuskStop = nullptr;
  ui::MouseButton* Button21 = nullptr;
  ui::MouseButton* Button22 = nullptr;
  // bottom row
  ui::MouseButton* Button33 = nullptr;
  QLineEdit* Edit37 = nullptr;
  ui::MouseButton* Button30 = nullptr;
  ui::MouseButton* Button32 = nullptr;
  panel::Circle* ShapeTimer1 = nullptr;
  // Not designed: a run's warning in the free strip of Panel1 above GroupBox1.
  QLabel* warningLabel_ = nullptr;
};

}  // namespace calorix
