#pragma once
// The password window "FormParol": one field, no buttons. The operator types
// the engineering password and closes the window with its close box (Enter
// closes it too); the main window then compares the field's text.
#include <QDialog>
#include <QLineEdit>

namespace calorix {

class TForm2 : public QDialog {
  Q_OBJECT
 public:
  explicit TForm2(QWidget* parent = nullptr);

  QLineEdit* edit1() const { return edit1_; }
  // Shows the window modally until it is closed and returns the field's text.
  QString ask();

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  QLineEdit* edit1_;
};

}  // namespace calorix
