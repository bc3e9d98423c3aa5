#pragma once
// What a run has to tell the operator, collected while it holds the line and
// shown once it has let go of it: a message box never keeps a tick or a stop
// off the line. A file error of a step is noted and the sequence goes on:
// the wire sequence of a run never stops for the files.
#include <QString>
#include <QStringList>

#include <functional>

#include "core/Messages.h"

namespace calorix {

// Said after the file errors of a run: what became of the files and the run.
inline const QString kFilesStoppedText = QString::fromUtf8(
    "Запись в файл прекращена до следующего пуска; работа с контроллером продолжается.");

class RunReport {
 public:
  explicit RunReport(Messages& messages) : messages_(messages) {}

  // One step of the run; the AbortAction of a file that failed is noted.
  void step(const std::function<void()>& step);
  void fileError(const QString& message) { fileErrors_ << message; }
  void note(const QString& message) { notes_ << message; }
  // What was noted, in one box (nothing when nothing was); the caller no
  // longer holds the exchange guard.
  void show();

 private:
  Messages& messages_;
  QStringList fileErrors_;
  QStringList notes_;
};

}  // namespace calorix
