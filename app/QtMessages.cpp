#include "app/QtMessages.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

#include "app/Termination.h"

namespace calorix {

namespace {
// The console's caption on every box, as the main window carries it.
QString boxTitle() {
  return QStringLiteral("Calorix");
}

// Once a termination signal has come nobody answers a box: the text goes to
// the standard error instead, so that the close is never held up.
bool unattended(const QString& text) {
  static const bool echo = qEnvironmentVariable("CALORIX_ECHO_MESSAGES") == QStringLiteral("1");
  const bool quiet = terminationRequested();
  if (echo || quiet) {
    std::fputs(QStringLiteral("calorix: %1%2\n")
                   .arg(quiet ? QString() : QStringLiteral("message box: "), text)
                   .toLocal8Bit()
                   .constData(),
               stderr);
    std::fflush(stderr);
  }
  return quiet;
}

}  // namespace

void QtMessages::show(const QString& text) {
  if (unattended(text)) return;
  QMessageBox::information(QApplication::activeWindow(), boxTitle(), text, QMessageBox::Ok);
}

bool QtMessages::askOkCancel(const QString& text) {
  // Unanswered is Cancel: nothing goes ahead that nobody confirmed.
  if (unattended(text)) return false;
  return QMessageBox::warning(QApplication::activeWindow(), boxTitle(), text,
                              QMessageBox::Ok | QMessageBox::Cancel,
                              QMessageBox::Cancel) == QMessageBox::Ok;
}

}  // namespace calorix
