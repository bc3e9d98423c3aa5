#pragma once
// The coefficient editor: the four groups of calibration coefficients (the
// thermocouple amplifier's correction, its gain, the voltage-to-temperature
// cubic, the cubics of the PID coefficients), each read and written as a
// group with the plain block commands.
#include <QWidget>

#include <QStringList>

#include <array>
#include <functional>
#include <span>

#include "tools/CoefCodec.h"
#include "ui/WindowContext.h"

class QLineEdit;
class QProgressBar;

namespace calorix {

class TFormIzmKoef : public QWidget {
  Q_OBJECT
 public:
  explicit TFormIzmKoef(WindowContext& context, QWidget* parent = nullptr);

  // The tuning assistant ("Подбор по журналам..."): which logs it reads. A
  // file dialog unless a test hands in its own choice.
  using LogChooser = std::function<QStringList(QWidget* parent)>;
  void setLogChooser(LogChooser chooser) { chooseLogs_ = std::move(chooser); }

 private:
  void readGroup(std::span<const CoefField> fields, std::span<QLineEdit* const> edits,
                 QProgressBar* bar);
  void writeGroup(std::span<const CoefField> fields, std::span<QLineEdit* const> edits);
  void readPidGroup();   // Button7
  void writePidGroup();  // Button8
  // Writes the fields in order; false when one was refused (its message shown).
  bool writeFields(std::span<const CoefField> fields, std::span<QLineEdit* const> edits,
                   QProgressBar* bar, quint16* signFlags);
  qint32 blockRaw() const;

  WindowContext& ctx_;
  std::array<QLineEdit*, 2> amplifier_{};
  std::array<QLineEdit*, 1> gain_{};
  std::array<QLineEdit*, 4> thermo_{};
  std::array<QLineEdit*, 12> pid_{};
  std::array<QProgressBar*, 4> bars_{};
  LogChooser chooseLogs_;
  class TuneWindow* tune_ = nullptr;
};

}  // namespace calorix
