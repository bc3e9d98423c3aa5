#include "app/QtMessages.h"

#include <QApplication>
#include <QMessageBox>

namespace calorix {

namespace {
// The console's caption on every box, as the main window carries it.
QString boxTitle() {
  return QStringLiteral("Calorix");
}
}  // namespace

void QtMessages::show(const QString& text) {
  QMessageBox::information(QApplication::activeWindow(), boxTitle(), text, QMessageBox::Ok);
}

bool QtMessages::askOkCancel(const QString& text) {
  return QMessageBox::warning(QApplication::activeWindow(), boxTitle(), text,
                              QMessageBox::Ok | QMessageBox::Cancel,
                              QMessageBox::Cancel) == QMessageBox::Ok;
}

}  // namespace calorix
