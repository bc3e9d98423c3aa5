// What the trend window reads and writes: the chart as a picture. Every file
// is chosen in a dialog that asks before replacing one, and written whole or
// not at all (a temporary file renamed into place).
#include <QFileDialog>
#include <QPixmap>
#include <QSaveFile>

#include "trend/TFormGrafik.h"

namespace calorix {

QString TFormGrafik::askWithDialog(QWidget* parent, const FileQuestion& question) {
  QFileDialog dialog(parent, question.caption, QString(), question.filter);
  const bool saving = !question.defaultSuffix.isEmpty();
  dialog.setAcceptMode(saving ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(saving ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  // The dialog adds the suffix itself, so its question about an existing
  // file is about the file that will be written.
  if (saving) dialog.setDefaultSuffix(question.defaultSuffix);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
  return dialog.selectedFiles().front();
}

QString TFormGrafik::askFile(const FileQuestion& question) {
  return chooseFile_ ? chooseFile_(this, question) : QString();
}

void TFormGrafik::reportFileError(const QString& path, const QString& why) {
  ctx_.messages.show(QString::fromUtf8("Файл %1 не записан: %2").arg(path, why));
}

void TFormGrafik::exportPng() {
  const QString path = askFile({QString::fromUtf8("Сохранить график как PNG"),
                                QString::fromUtf8("Рисунок PNG (*.png)"), QStringLiteral("png")});
  if (path.isEmpty()) return;
  drawPendingNow();
  const QPixmap picture = view_->grab();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    reportFileError(path, file.errorString());
    return;
  }
  if (!picture.save(&file, "PNG")) {
    file.cancelWriting();
    reportFileError(path, QString::fromUtf8("рисунок не сохранён"));
    return;
  }
  if (!file.commit()) reportFileError(path, file.errorString());
}

}  // namespace calorix
