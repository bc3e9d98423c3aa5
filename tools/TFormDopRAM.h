#pragma once
// The RAM inspector: the first 8 indication bytes in hexadecimal, single bits
// of the working registers R0..R31, and a dump of up to 8 ROM bytes.
#include <QWidget>

#include <array>

#include "ui/WindowContext.h"

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace calorix {

class TFormDopRAM : public QWidget {
  Q_OBJECT
 public:
  explicit TFormDopRAM(WindowContext& context, QWidget* parent = nullptr);

 private:
  void readIndication();  // Button6
  void readRegister();    // Button2
  void changeRegister();  // Button1
  void dumpRom();         // Button4

  WindowContext& ctx_;
  QLineEdit* digits01_;
  QLineEdit* digits23_;
  QLineEdit* digits4567_;
  QComboBox* registerBox_;
  std::array<QCheckBox*, 8> bitShown_{};   // bit k
  std::array<QComboBox*, 8> bitChoice_{};  // bit k: "x", "1", "0"
  QLineEdit* romAddress_;
  QLineEdit* romCount_;
  QLineEdit* romBytes_;
};

}  // namespace calorix
