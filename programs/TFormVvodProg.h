#pragma once
// The program table window: the controller's 50 table records of four 16-bit
// words in an editable grid, read and written as a whole with the plain block
// commands.
#include <QWidget>

#include "ui/WindowContext.h"

class QProgressBar;
class QPushButton;
class QTableWidget;

namespace calorix {

class TFormVvodProg : public QWidget {
  Q_OBJECT
 public:
  explicit TFormVvodProg(WindowContext& context, QWidget* parent = nullptr);
  // Grid to 51 rows, the four headers, cell-editing mode; no data cell changes.
  void InitProgGrid();

 private:
  void readAll();   // Button1 "Чтение программ"
  void writeAll();  // Button2 "Запись программ"
  QString cellText(int row, int column) const;
  void setCellText(int row, int column, const QString& text);

  WindowContext& ctx_;
  QTableWidget* grid_;
  QPushButton* readButton_;
  QPushButton* writeButton_;
  QProgressBar* readProgress_;
  QProgressBar* writeProgress_;
};

}  // namespace calorix
