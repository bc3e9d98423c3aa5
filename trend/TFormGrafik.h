#pragma once
// The trend window "Grafik": the quantities of every run and of the telemetry
// stream drawn over clock time as the frames come, or a past data log; curves
// switched on and off, stage marks, a read-out of every value under the
// pointer, zoom, pan and a follow mode; the program's plan against the run
// with the stretches that lag it shaded; what is shown exported as CSV, PNG
// or SVG. It is fed the frames the run timers and the stream have already
// read (frame()); it never exchanges while a run or the stream holds the line
// (the one read it makes, a program for the plan, is refused then).
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QWidget>

#include <array>
#include <functional>
#include <optional>

#include "plot/PlannedProfile.h"
#include "plot/TrendStore.h"
#include "trend/GrafikHooks.h"
#include "trend/TrendChartView.h"
#include "ui/WindowContext.h"

namespace calorix {

class TFormGrafik : public QWidget {
  Q_OBJECT
 public:
  // At most this many redraws a second while frames come at line rate.
  static constexpr int kRedrawIntervalMs = 100;

  TFormGrafik(WindowContext& context, GrafikHooks hooks, QWidget* parent = nullptr);

  // One frame a run timer or the stream has read (the TrendFeed of app/).
  void frame(const plot::Sample& sample);

  // Draws what is pending now rather than at the next throttled redraw.
  void drawPendingNow();

  const plot::TrendStore& liveStore() const { return live_.store; }
  // What is shown: the live frames or the opened log.
  const plot::TrendStore& shownStore() const { return shown_->store; }

  // What "План" says when it may not read the program from the controller,
  // and when the program editor holds none.
  static QString planReadRefusedText();
  static QString noEditorProgramText();
  TrendChart& chart() const { return *chart_; }

  // How a file is chosen: for saving, the dialog gives a name without a
  // suffix the default one and asks before an existing file is replaced.
  // Empty: cancelled.
  struct FileQuestion {
    QString caption;
    QString filter;
    QString defaultSuffix;  // empty: a file to open
  };
  using FileChooser = std::function<QString(QWidget* parent, const FileQuestion& question)>;
  void setFileChooser(FileChooser chooser) { chooseFile_ = std::move(chooser); }
  static QString askWithDialog(QWidget* parent, const FileQuestion& question);

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  // The samples shown: the live frames or an opened log.
  struct Shown {
    plot::TrendStore store;
    // The first frame of the latest run (log: its first sample): where a plan starts.
    std::optional<std::pair<qint64, double>> runStart;
    QString title;
    int skippedLines = 0;
    // The lag stretches, kept up as frames come.
    mutable plot::LagFinder lags;
  };
  enum class Range { All, Follow, Fixed };

  // ---- building (trend/GrafikLayout.cpp) ----
  void build();
  QWidget* buildToolbar();
  QWidget* buildFileAndPlanRow();
  QWidget* buildCurveToggles();

  // ---- files (trend/GrafikFiles.cpp) ----
  void exportPng();
  void exportSvg();
  void exportCsv();
  void openLog();
  void showLive();
  QString askFile(const FileQuestion& question);
  void reportFileError(const QString& path, const QString& why);

  // ---- the plan (trend/GrafikPlan.cpp) ----
  void takePlan();
  void dropPlan();
  void addPlan(TrendContent& content) const;
  QString planInfo() const;

  // ---- the range and drawing ----
  void scheduleRedraw();
  void redraw();
  std::pair<qint64, qint64> currentRange() const;
  void setFixedRange(double fromMs, double toMs);
  void zoomAt(double atMs, double factor);
  void panBy(double byMs);
  void setFollow(bool on);
  void showAll();
  void showReadout(double atMs);
  void updateInfo();
  std::array<bool, plot::kQuantityCount> shownCurves() const;

  WindowContext& ctx_;
  GrafikHooks hooks_;
  FileChooser chooseFile_ = &TFormGrafik::askWithDialog;
  Shown live_;
  Shown log_;
  Shown* shown_ = &live_;
  Range range_ = Range::Follow;
  qint64 fromMs_ = 0;
  qint64 toMs_ = 0;
  QTimer redrawTimer_;
  QElapsedTimer sinceRedraw_;
  bool redrawPending_ = false;
  std::vector<plot::PlanStage> planStages_;
  int planProgram_ = 0;

  TrendChart* chart_ = nullptr;
  TrendChartView* view_ = nullptr;
  std::array<QCheckBox*, plot::kQuantityCount> curveBoxes_{};
  QCheckBox* CheckBoxSledit = nullptr;
  QSpinBox* SpinMinutes = nullptr;
  QPushButton* ButtonAll = nullptr;
  QPushButton* ButtonPng = nullptr;
  QPushButton* ButtonSvg = nullptr;
  QPushButton* ButtonCsv = nullptr;
  QPushButton* ButtonOpenLog = nullptr;
  QPushButton* ButtonLive = nullptr;
  QPushButton* ButtonPlan = nullptr;
  QPushButton* ButtonNoPlan = nullptr;
  QSpinBox* SpinProgram = nullptr;
  QDoubleSpinBox* SpinMargin = nullptr;
  QLabel* LabelInfo = nullptr;
  QLabel* LabelReadout = nullptr;
};

}  // namespace calorix
