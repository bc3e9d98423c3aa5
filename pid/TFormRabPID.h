#pragma once
// The PID work window: reads of the stage parameters, the PID coefficients
// and the thermocouple amplifier coefficient, the amplifier write, and the
// start and end request of a heating run under the controller's regulator.
// During a run it shows every regulator quantity of each PID frame. The run
// itself (its start, TimerPid's ticks, its stop and its log) belongs to
// pid/PidRun: the window forwards "Вкл нагрева" and "Выкл нагрева" to it, and
// the run calls the display operations below.
#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>

#include "core/ControllerMap.h"
#include "pid/PidFrameDecode.h"
#include "ui/MouseButton.h"
#include "ui/WindowContext.h"

class QGridLayout;

namespace calorix {

class PidRun;

class TFormRabPID : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPauseMs = 50;

  explicit TFormRabPID(WindowContext& context, QWidget* parent = nullptr);

  // The run the two run buttons go to (PidRun::attach).
  void setRun(PidRun& run) { run_ = &run; }
  // "График": shows the trend window (handed in by app/).
  void setShowTrend(std::function<void()> show) { showTrend_ = std::move(show); }

  // ---- what the run shows here -------------------------------------------
  // A start: the sign of PrevErr cleared, "Выкл нагрева" in place of "Вкл нагрева".
  void runStarting();
  // The run buttons: stopping ("Вкл нагрева" shown, disabled), idle.
  void showStopping();
  void showIdle();
  // The frame just read (RamMirror) as measurement n: EditNumIzm, then
  // ShowPidCoefs and ShowPidValues.
  void showFrame(qint32 n);
  // A tick that read no frame after n frames: EditNumIzm says so, the
  // values stay as the last frame left them.
  void showNoFrame(qint32 n);
  void ShowPidCoefs();
  void ShowPidValues();
  // The run log's first header line from the fields as they are now, and
  // the data line of the frame shown (the history moves with it).
  QString runLogHeader1() const;
  QString pidDataLine(const QString& lineStamp);

  const pid::PrevErr& prevErr() const { return prevErr_; }
  const pid::TempHistory& tempHistory() const { return tempHistory_; }

 private:
  // ---- building (pid/RabPidLayout.cpp) ----
  void build();
  QGroupBox* buildConstantCoefs();
  QGroupBox* buildCurrentCoefs();
  QGroupBox* buildAmplifier();
  QGroupBox* buildStageParams();
  QGroupBox* buildUnusedGroups(QGroupBox*& currentStage);
  QGroupBox* buildTemperatureChanges();
  QGroupBox* buildRegulatorValues();
  QGroupBox* buildSpeedValues();
  QWidget* buildRunControls();
  QWidget* buildLooseFields();
  // A field that starts with its own name, with its label (if any) in the
  // grid row; registered by name for the frame display.
  QLineEdit* addField(QGridLayout* grid, int row, const char* name, const char* label,
                      int column = 0);
  // widest: the widest text it must show besides its name (null: a number).
  QLineEdit* makeField(QWidget* parent, const char* name, const QString& accessibleName,
                       const QString& widest = QString());

  // ---- handlers ----
  void connectHandlers();
  void readStage();
  void readCoefficients();
  void readAmplifier();
  void writeAmplifier();
  void startHeating();
  void requestStop();

  // ---- steps of the start ----
  std::array<std::uint8_t, ctl::ram::kPidCoefBytes> ownCoefficients();
  double parseCoefficient(QLineEdit* field);
  void showRows(const pid::FieldTexts& rows);
  pid::FieldLookup fieldLookup() const;

  WindowContext& ctx_;
  PidRun* run_ = nullptr;
  std::function<void()> showTrend_;
  pid::PrevErr prevErr_;
  pid::TempHistory tempHistory_;
  QHash<QString, QLineEdit*> fields_;

  QCheckBox* CheckBox1 = nullptr;
  QCheckBox* CheckBox2 = nullptr;
  QCheckBox* CheckBox3 = nullptr;
  ui::MouseButton* Button1 = nullptr;
  ui::MouseButton* Button2 = nullptr;
  ui::MouseButton* Button3 = nullptr;
  ui::MouseButton* Button4 = nullptr;
  ui::MouseButton* Button5 = nullptr;
  ui::MouseButton* Button6 = nullptr;
  ui::MouseButton* ButtonGrafik = nullptr;
  QLineEdit* EditTemp = nullptr;
  QLineEdit* EditNumIzm = nullptr;
  QLineEdit* EditPK = nullptr;
  QLineEdit* EditIK = nullptr;
  QLineEdit* EditDK = nullptr;
  QLineEdit* EditTecKUs = nullptr;
};

}  // namespace calorix
