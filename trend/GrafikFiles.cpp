// What the trend window reads and writes: the chart as a picture (PNG, SVG),
// what is shown as CSV, and a past data log. Every file is chosen in a
// dialog that asks before replacing one, and written whole or not at all (a
// temporary file renamed into place).
#include <QApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QPainter>
#include <QPixmap>
#include <QSaveFile>
#include <QSvgGenerator>

#include "plot/CsvExport.h"
#include "plot/LogReader.h"
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

void TFormGrafik::exportCsv() {
  std::vector<plot::Quantity> columns;
  for (const plot::QuantityInfo& info : plot::kQuantities)
    if (curveBoxes_[std::size_t(info.quantity)]->isChecked()) columns.push_back(info.quantity);
  if (columns.empty()) {
    ctx_.messages.show(QString::fromUtf8("Не включена ни одна кривая: выгружать нечего."));
    return;
  }
  const QString path = askFile({QString::fromUtf8("Сохранить показанное как CSV"),
                                QString::fromUtf8("Таблица CSV (*.csv)"), QStringLiteral("csv")});
  if (path.isEmpty()) return;
  drawPendingNow();
  // What is shown: the range on the time axis and the curves switched on.
  QString error;
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const bool written = plot::writeCsv(path, shown_->store, fromMs_, toMs_, columns, &error);
  QApplication::restoreOverrideCursor();
  if (!written) reportFileError(path, error);
}

void TFormGrafik::exportSvg() {
  const QString path = askFile({QString::fromUtf8("Сохранить график как SVG"),
                                QString::fromUtf8("Рисунок SVG (*.svg)"), QStringLiteral("svg")});
  if (path.isEmpty()) return;
  drawPendingNow();
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    reportFileError(path, file.errorString());
    return;
  }
  QSvgGenerator svg;
  svg.setOutputDevice(&file);
  svg.setSize(view_->size());
  svg.setViewBox(QRect(QPoint(0, 0), view_->size()));
  svg.setTitle(windowTitle());
  svg.setDescription(LabelInfo->text());
  {
    QPainter painter(&svg);
    view_->render(&painter);
  }
  if (!file.commit()) reportFileError(path, file.errorString());
}

void TFormGrafik::openLog() {
  const QString path = askFile({QString::fromUtf8("Открыть журнал"),
                                QString::fromUtf8("Журналы (*.txt);;Все файлы (*)"), QString()});
  if (path.isEmpty()) return;
  // Read into a store of its own: a file that cannot be read, or holds no log
  // line, changes nothing shown.
  Shown read;
  plot::LogSummary summary;
  {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    summary = plot::streamLog(path, [&read](const plot::Sample& s) {
      if (!read.runStart && s.has(plot::Quantity::Temperature))
        read.runStart = {s.timeMs, s.value(plot::Quantity::Temperature)};
      read.store.append(s);
    });
    QApplication::restoreOverrideCursor();
  }
  if (!summary.error.isEmpty()) {
    ctx_.messages.show(QString::fromUtf8("Журнал %1 не открыт: %2").arg(path, summary.error));
    return;
  }
  if (read.store.empty()) {
    ctx_.messages.show(QString::fromUtf8("В файле %1 нет строк журнала (пропущено строк: %2).")
                           .arg(path)
                           .arg(summary.skippedLines));
    return;
  }
  log_ = std::move(read);
  log_.title = QString::fromUtf8("Журнал %1").arg(QFileInfo(path).fileName());
  log_.skippedLines = summary.skippedLines;
  shown_ = &log_;
  ButtonLive->setEnabled(true);
  showAll();
}

void TFormGrafik::showLive() {
  shown_ = &live_;
  ButtonLive->setEnabled(false);
  range_ = Range::Follow;
  {
    const QSignalBlocker quiet(CheckBoxSledit);
    CheckBoxSledit->setChecked(true);
  }
  redraw();
}

}  // namespace calorix
