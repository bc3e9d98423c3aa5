#pragma once
// The program table window: the controller's 50 table records of four 16-bit
// words in an editable grid, read and written as a whole with the plain block
// commands.
#include <QWidget>

#include <array>
#include <cstdint>
#include <vector>

#include "core/ProgramCodec.h"
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
  // A record whose read failed: its cells emptied, the row marked.
  void showRowNotRead(int record);
  // Rows marked by a failed read that still have an empty cell: neither read
  // nor typed in full.
  std::vector<int> unreadRows() const;
  // The record's words from its cells; AbortAction on a cell that is no word.
  std::array<std::uint8_t, kTableRecordBytes> recordBytes(int record) const;
  QString cellText(int row, int column) const;
  void setCellText(int row, int column, const QString& text);

  WindowContext& ctx_;
  QTableWidget* grid_;
  QPushButton* readButton_;
  QPushButton* writeButton_;
  QProgressBar* readProgress_;
  QProgressBar* writeProgress_;
  std::array<bool, kTableRecords + 1> unread_{};  // by record number
};

}  // namespace calorix
