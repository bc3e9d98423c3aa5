#pragma once
// The coefficient editor: the four groups of calibration coefficients (the
// thermocouple amplifier's correction, its gain, the voltage-to-temperature
// cubic, the cubics of the PID coefficients), each read and written as a
// group with the plain block commands.
#include <QHash>
#include <QStringList>
#include <QWidget>

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
  // How a group's write went: refused at a field (its message shown), and
  // the fields whose write was not confirmed; stopped when nobody answered.
  struct Written {
    bool refused = false;
    bool stopped = false;
    QStringList unconfirmed;
    // Notes the answer to one write; true when the write must stop there.
    bool confirm(Link::PlainAnswer answer, const QString& name);
  };

  void readGroup(std::span<const CoefField> fields, std::span<QLineEdit* const> edits,
                 QProgressBar* bar);
  void writeGroup(std::span<const CoefField> fields, std::span<QLineEdit* const> edits);
  void readPidGroup();   // Button7
  void writePidGroup();  // Button8
  // Reads the fields in order; a word not read whole leaves its field empty
  // and named in notRead. False when nobody answered: the read stopped there.
  bool readFields(std::span<const CoefField> fields, std::span<QLineEdit* const> edits,
                  QProgressBar* bar, QStringList& notRead);
  Written writeFields(std::span<const CoefField> fields, std::span<QLineEdit* const> edits,
                      QProgressBar* bar, quint16* signFlags);
  void showNotRead(QLineEdit* edit, QStringList& notRead);
  // True, with the message shown, when a field still shows what a failed
  // read left.
  bool refuseUnread(std::span<QLineEdit* const> edits);
  void report(const Written& written);
  QString nameOf(const QLineEdit* edit) const;
  qint32 blockRaw() const;

  WindowContext& ctx_;
  std::array<QLineEdit*, 2> amplifier_{};
  std::array<QLineEdit*, 1> gain_{};
  std::array<QLineEdit*, 4> thermo_{};
  std::array<QLineEdit*, 12> pid_{};
  std::array<QProgressBar*, 4> bars_{};
  // Names in messages where the letter alone is ambiguous (group 4).
  QHash<const QLineEdit*, QString> names_;
  LogChooser chooseLogs_;
  class TuneWindow* tune_ = nullptr;
};

}  // namespace calorix
