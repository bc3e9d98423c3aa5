#pragma once
// The coefficient editor's tuning assistant: run logs chosen by the engineer,
// the regulator law derived from them, each band's model against its measured
// curve, the proposal per band, and the fitted cubics beside the editor's.
// "Заполнить поля" puts the proposed cubics into the editor's group-4 fields;
// nothing reaches the controller until the engineer presses that group's
// "Запись".
#include <QWidget>

#include <array>
#include <functional>
#include <vector>

#include "tuning/Tuning.h"

class QChart;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTableWidget;

namespace calorix {

class TuneWindow : public QWidget {
  Q_OBJECT
 public:
  // pidFields: the editor's twelve group-4 fields in word order (KP A..D, KD A..D, KI A..D).
  TuneWindow(std::array<QLineEdit*, 12> pidFields, QWidget* parent = nullptr);

  // Reads the logs and proposes; the window shows what came of it.
  void tuneLogs(const QStringList& paths);
  const tuning::TuneResult& result() const { return result_; }

 private:
  void propose();
  void showBand(int index);
  void fillEditor();

  std::array<QLineEdit*, 12> pidFields_;
  std::vector<tuning::TuningLog> logs_;
  tuning::TuneResult result_;
  QLabel* law_ = nullptr;
  QComboBox* rule_ = nullptr;
  QComboBox* band_ = nullptr;
  QChart* chart_ = nullptr;
  QTableWidget* bands_ = nullptr;
  QTableWidget* cubics_ = nullptr;
  QPushButton* fill_ = nullptr;
  QProgressBar* progress_ = nullptr;
  bool busy_ = false;  // a proposal is being worked out (events run meanwhile)
};

}  // namespace calorix
