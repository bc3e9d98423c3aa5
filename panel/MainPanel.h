#pragma once
// The front-panel mirror and the service area of the main window: the
// controls, the panel read-out, blinking, the link light, the keys and the
// encoder, Пуск/Стоп with its run timer, and the service reads and writes.
// The main window frame (TForm1) creates one MainPanel while it is being
// created, before LoadSettings, so that Edit_Contrl exists when the port opens.
#include <QObject>
#include <QPushButton>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>

#include "app/WindowContext.h"

namespace calorix {

class TFormVvodProg;
class TFormIzmKoef;
class TFormDopParam;
class TFormDopRAM;
class TFormRabPID;
class TFormDataDide;
class PuskRun;

struct SecondaryWindows {
  TFormVvodProg* vvodProg = nullptr;
  TFormIzmKoef* izmKoef = nullptr;
  TFormDopParam* dopParam = nullptr;
  TFormDopRAM* dopRam = nullptr;
  TFormRabPID* rabPid = nullptr;
  TFormDataDide* dataDide = nullptr;
};

class MainPanel : public QObject {
  Q_OBJECT
 public:
  // Builds every control of the panel area, the bottom row, ShapeTimer1 and
  // the service area as children of form, at their designed places, and
  // installs the link hooks (Edit_Contrl, Edit1 / Edit2).
  MainPanel(QWidget* form, WindowContext& context);
  ~MainPanel() override;

  void setWindows(const SecondaryWindows& windows);

  // Reads the controller's panel and repaints the mirror.
  void RdInd_IndPanel();
  QString programDisplayText() const;

  // Start-up pieces the frame calls in its order.
  void setLinkLightYellow();       // ShapeTimer1 yellow
  void setBarHeights(int height);  // EditNagrev, EditStabil, EditOstuv
  void startBlinking();            // TimerMigInd, 600 ms, runs to the end

  QPushButton* button33() const;  // "Обновить"
  QPushButton* button32() const;  // "Данные печи"
  QPushButton* button30() const;  // "Работа с ПИДом"

  // "P/B" with RamOutEnabled 1 runs the telemetry stream through this hook
  // (under the exchange guard); with RamOutEnabled 0 it only sends its key code.
  void setTelemetryStream(std::function<void()> stream);

  // The timers and their ticks, for the frame and for tests that drive them
  // without waiting.
  PuskRun& puskRun();  // TimerPuskPidNew, TimerForReadForPolz
  void TimerMigIndTick();
  void Timer1Tick();
  QTimer* timerMigInd() const;
  QTimer* timer1() const;
  int pollState() const;
  std::uint8_t blinkFlags() const;

 private:
  struct Impl;
  Impl* impl_;
};

}  // namespace calorix
