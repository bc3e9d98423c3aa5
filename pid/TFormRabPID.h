#pragma once
// The PID work window: reads of the stage parameters, the PID coefficients
// and the thermocouple amplifier coefficient, the amplifier write, and the
// start and end request of a heating run under the controller's regulator.
// During a run it shows every regulator quantity of each PID frame and keeps
// the run log. The frames of a run after the first are taken by TimerPid of
// the main window (pid/PidRun), which calls the frame operations below.
#include <QCheckBox>
#include <QGroupBox>
#include <QHash>
#include <QLineEdit>
#include <QString>
#include <QWidget>

#include <functional>

#include "pid/PidFrameDecode.h"
#include "ui/MouseButton.h"
#include "ui/TrendFeed.h"
#include "ui/WindowContext.h"

class QGridLayout;

namespace calorix {

class TFormRabPID : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kPauseMs = 50;

  explicit TFormRabPID(WindowContext& context, QWidget* parent = nullptr);

  // The main window's TimerPid, armed as the last step of a start.
  void setTimerPid(std::function<void()> arm) { armTimerPid_ = std::move(arm); }
  // The first frame of a run, read by the start, goes to the trend as well.
  void setTrendFeed(TrendFeed feed) { trend_ = std::move(feed); }
  // "График": shows the trend window (handed in by app/).
  void setShowTrend(std::function<void()> show) { showTrend_ = std::move(show); }

  // ---- what a start and every TimerPid tick do with the frame just read ----
  // (the caller holds the exchange guard)
  // WorkCounter + 1, shown in EditNumIzm.
  void countFrame();
  void ShowPidCoefs();
  void ShowPidValues();
  // One data line into this run's log; nothing when the run keeps none.
  void WritePidLine();
  // The stop of a run: this run's log closed (no other), "Вкл нагрева" enabled.
  void closeRunLog();
  void runStopped();

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
  void writeOwnCoefficients();
  double parseCoefficient(QLineEdit* field);
  void showRunning();
  void showIdle();
  void abandonStart(bool ownCoefsSet);
  void writeRunLog(const QString& line);
  bool runLogOpen() const;
  void showRows(const pid::FieldTexts& rows);
  pid::FieldLookup fieldLookup() const;

  WindowContext& ctx_;
  std::function<void()> armTimerPid_;
  std::function<void()> showTrend_;
  TrendFeed trend_;
  pid::PrevErr prevErr_;
  pid::TempHistory tempHistory_;
  // The data log this run opened; empty when it keeps none.
  QString runLogPath_;
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
