#include "app/TForm2.h"

#include <QShowEvent>

#include "ui/Designed.h"
#include "ui/OuterSize.h"

namespace calorix {

TForm2::TForm2(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("TForm2"));
  setWindowTitle(QStringLiteral("FormParol"));
  // A caption with a close box only: no help or context button.
  setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                 Qt::WindowSystemMenuHint);
  setOuterSize(*this, 356, 275);

  edit1_ = designed(new QLineEdit(QStringLiteral("Edit1"), this), QStringLiteral("Edit1"),
                    QStringLiteral("FormParol"));
  edit1_->setGeometry(80, 56, 121, edit1_->sizeHint().height());
  // What is typed is a password: the field hides it.
  edit1_->setEchoMode(QLineEdit::Password);
  // Enter ends the entry like the close box; the text is read either way.
  connect(edit1_, &QLineEdit::returnPressed, this, &QDialog::accept);
}

QString TForm2::ask() {
  exec();
  return edit1_->text();
}

void TForm2::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  // Typing replaces the designed text instead of appending to it.
  edit1_->setFocus(Qt::TabFocusReason);
  edit1_->selectAll();
}

}  // namespace calorix
