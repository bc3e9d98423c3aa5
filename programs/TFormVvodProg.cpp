#include "programs/TFormVvodProg.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>

#include "core/Abort.h"
#include "core/Parse.h"
#include "core/ProgramCodec.h"
#include "link/Action.h"
#include "programs/RowList.h"
#include "ui/Designed.h"
#include "ui/Events.h"
#include "ui/ReadIntegrity.h"

namespace calorix {

namespace {

constexpr int kGridRows = kTableRecords + 1;
constexpr int kGridColumns = kTableWords + 1;

const char* const kHeaders[kTableWords] = {"Температура", "Время стабилизации", "Скорость нагрева",
                                           "Резерв"};

// Row 0 and column 0 of the grid are its fixed header cells: not editable and
// drawn like a header, but ordinary cells of the table for screen readers.
void makeFixed(QTableWidgetItem* item, const QPalette& palette) {
  item->setFlags(Qt::ItemIsEnabled);
  item->setBackground(palette.button());
  item->setForeground(palette.buttonText());
}

}  // namespace

TFormVvodProg::TFormVvodProg(WindowContext& context, QWidget* parent)
    : QWidget(parent), ctx_(context) {
  setObjectName("TFormVvodProg");
  setWindowTitle("Data");

  grid_ = designed(new QTableWidget(kGridRows, kGridColumns, this), "StringGridRdProg",
                   QString::fromUtf8("Программы"));
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  for (int row = 0; row < kGridRows; ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      auto* item = new QTableWidgetItem;
      if (row == 0 || column == 0) makeFixed(item, palette());
      grid_->setItem(row, column, item);
    }
  }
  grid_->setColumnWidth(0, 40);
  for (int column = 1; column < kGridColumns; ++column) grid_->setColumnWidth(column, 130);

  readButton_ = designed(new QPushButton(QString::fromUtf8("Чтение программ"), this), "Button1");
  writeButton_ = designed(new QPushButton(QString::fromUtf8("Запись программ"), this), "Button2");
  readProgress_ = designed(new QProgressBar(this), "ProgressBar1", readButton_->text());
  writeProgress_ = designed(new QProgressBar(this), "ProgressBar2", writeButton_->text());
  for (QProgressBar* bar : {readProgress_, writeProgress_}) {
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
  }

  auto* layout = new QGridLayout(this);
  layout->addWidget(grid_, 0, 0, 1, 2);
  layout->addWidget(readButton_, 1, 0);
  layout->addWidget(readProgress_, 1, 1);
  layout->addWidget(writeButton_, 2, 0);
  layout->addWidget(writeProgress_, 2, 1);
  resize(620, 520);

  connect(readButton_, &QPushButton::clicked, this, &TFormVvodProg::readAll);
  connect(writeButton_, &QPushButton::clicked, this, &TFormVvodProg::writeAll);
}

void TFormVvodProg::InitProgGrid() {
  // Rows added here (the count is already 51 unless something changed it)
  // get their cells like the others.
  const int oldRows = grid_->rowCount();
  grid_->setRowCount(kGridRows);
  for (int row = oldRows; row < kGridRows; ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      auto* item = new QTableWidgetItem;
      if (column == 0) makeFixed(item, palette());
      grid_->setItem(row, column, item);
    }
  }
  for (int k = 0; k < kTableWords; ++k) setCellText(0, k + 1, QString::fromUtf8(kHeaders[k]));
  grid_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                         QAbstractItemView::AnyKeyPressed | QAbstractItemView::SelectedClicked);
}

QString TFormVvodProg::cellText(int row, int column) const {
  const QTableWidgetItem* item = grid_->item(row, column);
  return item ? item->text() : QString();
}

void TFormVvodProg::setCellText(int row, int column, const QString& text) {
  QTableWidgetItem* item = grid_->item(row, column);
  if (!item) {
    item = new QTableWidgetItem;
    grid_->setItem(row, column, item);
  }
  item->setText(text);
}

void TFormVvodProg::showRowNotRead(int record) {
  for (int k = 1; k <= kTableWords; ++k) setCellText(record, k, QString());
  unread_[record] = true;
}

std::vector<int> TFormVvodProg::unreadRows() const {
  std::vector<int> rows;
  for (int record = 1; record <= kTableRecords; ++record) {
    if (!unread_[record]) continue;
    for (int k = 1; k <= kTableWords; ++k) {
      if (cellText(record, k).isEmpty()) {
        rows.push_back(record);
        break;
      }
    }
  }
  return rows;
}

void TFormVvodProg::readAll() {
  Link& link = ctx_.link;
  runAction(link, ctx_.messages, [&] {
    if (ui::refusedDuringRun(ctx_)) return;
    link.SyncCmd();
    readProgress_->setRange(0, kTableRecords);
    std::vector<int> notRead;
    int stoppedAt = 0;
    for (int record = 1; record <= kTableRecords; ++record) {
      ui::letNonInputEventsRun();
      readProgress_->setValue(record);
      link.RdBlock(kTableRecordBytes, tableRecordAddress(record));
      setCellText(record, 0, QString::number(record));
      const Link::PlainAnswer answer = link.lastPlainAnswer();
      if (answer == Link::PlainAnswer::Whole) {
        const TableWords words = decodeTableRecord(link.BlockBuf().data());
        for (int k = 0; k < kTableWords; ++k) setCellText(record, k + 1, QString::number(words[k]));
        unread_[record] = false;
        continue;
      }
      // What the block buffer holds now is another record's or nobody's.
      showRowNotRead(record);
      notRead.push_back(record);
      if (answer == Link::PlainAnswer::None) {
        // Nobody answers: the other records would only wait out their time-outs.
        stoppedAt = record;
        for (int rest = record + 1; rest <= kTableRecords; ++rest) {
          setCellText(rest, 0, QString::number(rest));
          showRowNotRead(rest);
          notRead.push_back(rest);
        }
        break;
      }
    }
    if (stoppedAt == 0) link.SyncCmd();
    if (!notRead.empty()) ctx_.messages.show(readFailedText(notRead, stoppedAt));
  });
}

void TFormVvodProg::writeAll() {
  Link& link = ctx_.link;
  runAction(link, ctx_.messages, [&] {
    if (ui::refusedDuringRun(ctx_)) return;
    // Rows that the last read left empty are not the controller's words:
    // nothing is written until they are read or typed.
    if (const std::vector<int> rows = unreadRows(); !rows.empty()) {
      ctx_.messages.show(writeRefusedText(rows));
      return;
    }
    link.SyncCmd();
    writeProgress_->setRange(0, kTableRecords);
    std::vector<int> unconfirmed;
    int stoppedAt = 0;
    for (int record = 1; record <= kTableRecords; ++record) {
      ui::letNonInputEventsRun();
      writeProgress_->setValue(record);
      // The whole record is checked before its block goes out, so a bad cell
      // never leaves a half-written record behind.
      std::array<std::uint8_t, kTableRecordBytes> bytes{};
      try {
        bytes = recordBytes(record);
      } catch (const AbortAction&) {
        if (!unconfirmed.empty()) ctx_.messages.show(writeFailedText(unconfirmed, 0));
        throw;  // the guard shows the cell's message
      }
      link.WrBlock(tableRecordAddress(record), bytes);
      const Link::PlainAnswer answer = link.lastPlainAnswer();
      if (answer == Link::PlainAnswer::Whole) continue;
      unconfirmed.push_back(record);
      if (answer == Link::PlainAnswer::None) {
        stoppedAt = record;
        break;
      }
    }
    if (stoppedAt == 0) link.SyncCmd();
    if (!unconfirmed.empty()) ctx_.messages.show(writeFailedText(unconfirmed, stoppedAt));
  });
}

std::array<std::uint8_t, kTableRecordBytes> TFormVvodProg::recordBytes(int record) const {
  TableWords words{};
  for (int k = 0; k < kTableWords; ++k) {
    const qint32 value = ParseIntText(cellText(record, k + 1));
    requireInRange(value, kWordRange);
    words[k] = quint16(value);
  }
  std::array<std::uint8_t, kTableRecordBytes> bytes{};
  encodeTableRecord(words, bytes.data());
  return bytes;
}

}  // namespace calorix
