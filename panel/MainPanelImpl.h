#pragma once
// Inside of MainPanel, shared by the files that build and drive it: the
// panel read-out and keys (MainPanel.cpp), the layout of the panel area
// (PanelLayout.cpp), the service area (ServiceLayout.cpp, ServiceActions.cpp).
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

#include "panel/MainPanel.h"
#include "panel/PanelDecode.h"
#include "panel/Widgets.h"
#include "pid/PuskRun.h"

namespace calorix {

struct MainPanel::Impl {
  Impl(MainPanel& owner, QWidget* form, WindowContext& context);

  MainPanel& owner;
  QWidget* form;
  WindowContext& ctx;
  Link& link;
  RunState& run;
  SecondaryWindows windows;
  std::function<void()> telemetryStream;

  // ---- state of the read-out, the blinking and the link light ----------
  std::uint8_t BlinkFlags = 0;
  std::uint8_t BlinkPhase = 1;
  int PollState = 0;
  std::uint8_t LinkPaused = 0;
  // Link-light periods, from the base 500 ms as the controller's tool derives them.
  static constexpr int kBasePeriod = 500;
  int periodGreen = kBasePeriod * 100 / 250;
  int periodRed = kBasePeriod * 100 / 250;
  int periodYellow = kBasePeriod * 100 / 2000;
  int periodAfterRead = kBasePeriod * 100 / 2000;
  QTimer* TimerMigInd = nullptr;
  QTimer* Timer1 = nullptr;

  // ---- panel area -------------------------------------------------------
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
  panel::MouseButton* Button21 = nullptr;
  panel::MouseButton* Button22 = nullptr;
  // bottom row
  panel::MouseButton* Button33 = nullptr;
  QLineEdit* Edit37 = nullptr;
  panel::MouseButton* Button30 = nullptr;
  panel::MouseButton* Button32 = nullptr;
  panel::Circle* ShapeTimer1 = nullptr;

  // ---- service area -----------------------------------------------------
  QLineEdit* Edit_Contrl = nullptr;
  QLineEdit* Edit1 = nullptr;
  QLineEdit* Edit2 = nullptr;
  QLineEdit* EditPK = nullptr;
  QLineEdit* EditDK = nullptr;
  QLineEdit* EditIK = nullptr;
  QLineEdit* EditZadTemp = nullptr;
  QLineEdit* Edit3201U = nullptr;
  QLineEdit* Edit3201UKorr = nullptr;
  QLineEdit* EditTT = nullptr;
  QLineEdit* EditTD = nullptr;
  QLineEdit* EditTTKorr = nullptr;
  QLineEdit* EditAdrRdByte = nullptr;
  QLineEdit* EditNumRdByte = nullptr;
  QLineEdit* EditByteRD = nullptr;
  QLineEdit* Edit17 = nullptr;
  QLineEdit* Edit18 = nullptr;
  QLineEdit* Edit19 = nullptr;
  QLineEdit* Edit21 = nullptr;
  QLineEdit* Edit22 = nullptr;
  QLineEdit* EditB[4] = {};
  QLineEdit* Edit26 = nullptr;
  QLineEdit* Edit27 = nullptr;
  panel::Circle* Shape_Sp = nullptr;
  QPushButton* Button11 = nullptr;

  std::unique_ptr<PuskRun> pusk;

  // ---- building ---------------------------------------------------------
  void buildPanelArea();
  void buildServiceArea();
  QLineEdit* field(QWidget* parent, const QString& name, const QString& label, QRect at,
                   const QString& text = QString());
  QLabel* label(QWidget* parent, const QString& text, QPoint at);
  panel::MouseButton* button(QWidget* parent, const QString& name, const QString& caption,
                             QRect at);

  // ---- read-out, blinking, link light ------------------------------------
  void note(const QString& line);
  void RdInd_IndPanel();
  void paintIndication(const panel::Indication& ind);
  void TimerMigIndTick();
  void Timer1Tick();
  void Timer1Step();
  // Runs an action under the exchange guard; false when the link was busy.
  bool guarded(const std::function<void()>& action);

  // ---- keys -----------------------------------------------------------
  void connectKeys();
  void pressKey(panel::DrawnKey* key, std::uint8_t code);
  void releaseKey(panel::DrawnKey* key);
  void pressArrow(std::uint8_t code);
  void releaseArrow();
  void pressPuskStop();
  void startRun();
  void requestStop();
  void setPanelColor(const QColor& color);
  QColor panelColor() const;

  // ---- service area ----------------------------------------------------
  void connectService();
  void readCoefficients();
  void writeCoefficients();
  void readSetTemperature();
  void writeSetTemperature();
  void readThermocouple();
  void readRamBytes();
  void readTyped(int width);
  void showLastReadBytes();
  void rawByteWrite();
  void rawByteRead();
  void plainKey(std::uint8_t code);
  void ramOutKey();
  void pbKey();
  void stopHeat();
  void showWindow(QWidget* window);
};

}  // namespace calorix
