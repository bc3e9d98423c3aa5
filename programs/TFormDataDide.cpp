#include "programs/TFormDataDide.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include "core/Abort.h"
#include "core/ControllerMap.h"
#include "core/Parse.h"
#include "link/Action.h"
#include "programs/ProgramRead.h"
#include "ui/Designed.h"
#include "ui/Events.h"
#include "ui/ReadIntegrity.h"

namespace calorix {

namespace {

constexpr int kGridRows = 18;  // header, stages 0..15, one row never used
constexpr int kGridColumns = 4;
constexpr int kRowHeight = 24;
constexpr int kColumnWidths[kGridColumns] = {50, 100, 110, 100};
const char* const kHeaders[kGridColumns] = {"Ступень", "   Температура", "Время стабилизации",
                                            " Скорость нагрева"};

constexpr qint64 kKeyPauseMs = 100;
constexpr qint64 kCellEditPauseMs = 100;

}  // namespace

TFormDataDide::TFormDataDide(WindowContext& context, QWidget* parent)
    : QWidget(parent), ctx_(context) {
  setObjectName("TFormDataDide");
  setWindowTitle("DataDide");

  grid_ = designed(new QTableWidget(kGridRows, kGridColumns, this), "StringGrid1",
                   QString::fromUtf8("Программа"));
  QFont bold = grid_->font();
  bold.setBold(true);
  grid_->setFont(bold);
  grid_->horizontalHeader()->hide();
  grid_->verticalHeader()->hide();
  grid_->verticalHeader()->setMinimumSectionSize(1);
  grid_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  grid_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  grid_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  for (int row = 0; row < kGridRows; ++row) {
    for (int column = 0; column < kGridColumns; ++column) {
      auto* item = new QTableWidgetItem;
      if (row == 0 || column == 0) {
        item->setFlags(Qt::ItemIsEnabled);
        item->setBackground(palette().button());
        item->setForeground(palette().buttonText());
      }
      grid_->setItem(row, column, item);
    }
  }
  int width = 0;
  for (int column = 0; column < kGridColumns; ++column) {
    grid_->setColumnWidth(column, kColumnWidths[column]);
    width += kColumnWidths[column] + 2;
  }
  int height = 13;
  for (int row = 0; row <= 15; ++row) height += grid_->rowHeight(row) + 2;
  grid_->setFixedSize(width, height);
  for (int column = 0; column < kGridColumns; ++column)
    grid_->item(0, column)->setText(QString::fromUtf8(kHeaders[column]));
  for (int stage = 0; stage <= kStageCount; ++stage)
    grid_->item(stage + 1, 0)->setText(QString("%1").arg(stage, 4));

  auto* title = designed(new QLabel(QString::fromUtf8("Изменение информацию о текущей ступени "
                                                      "температуру,скорость, время стабилизации"),
                                    this),
                         "Label2");
  title->setWordWrap(true);
  auto* programLabel = designed(new QLabel(QString::fromUtf8("Программа"), this), "Label1");
  combo_ = labelled(programLabel, designed(new QComboBox(this), "ComboBox1"));
  for (int program = 1; program <= kProgramCount; ++program)
    combo_->addItem(QString::number(program));
  combo_->setEditable(false);
  combo_->setCurrentIndex(0);
  QFont large = combo_->font();
  large.setBold(true);
  large.setPointSize(large.pointSize() + 6);
  combo_->setFont(large);

  savingLabel_ = designed(new QLabel(QString::fromUtf8("Идет процесс записи!"), this), "Label3");
  QFont big = savingLabel_->font();
  big.setPointSize(big.pointSize() + 8);
  savingLabel_->setFont(big);
  savingLabel_->hide();

  auto* top = new QHBoxLayout;
  top->addWidget(programLabel);
  top->addWidget(combo_);
  top->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(title);
  layout->addLayout(top);
  layout->addWidget(grid_);
  layout->addWidget(savingLabel_);
  layout->addStretch();

  connect(combo_, &QComboBox::activated, this, &TFormDataDide::programChosen);
  connect(grid_, &QTableWidget::itemChanged, this, [this] {
    if (!filling_) ctx_.link.clock().sleepMs(kCellEditPauseMs);
  });
}

void TFormDataDide::setCellText(int row, int column, const QString& text) {
  filling_ = true;
  grid_->item(row, column)->setText(text);
  filling_ = false;
}

void TFormDataDide::programChosen(int index) {
  bool linkFailed = false;
  const bool ran = runAction(ctx_.link, ctx_.messages, [&] {
    // The run's frames share the line: nothing is saved or loaded, and the
    // box goes back as after a failed load.
    if (ui::refusedDuringRun(ctx_)) {
      linkFailed = true;
      return;
    }
    try {
      selectProgram(index + 1);
    } catch (const LinkFailed&) {
      linkFailed = true;
      throw;
    }
  });
  if (!ran || linkFailed) {
    // Nothing was done (another exchange held the link), or the grid still
    // holds the program it held: the box goes back to what it showed.
    QSignalBlocker quiet(combo_);
    combo_->setCurrentIndex(shownIndex_);
    return;
  }
  // A key handled while this selection let events run found the link busy and
  // put the box back to the number shown before; it shows this one.
  QSignalBlocker quiet(combo_);
  combo_->setCurrentIndex(index);
  shownIndex_ = index;
}

bool TFormDataDide::lastCommandSent() const {
  return ctx_.link.lastFramedAnswered();
}

void TFormDataDide::selectProgram(int program) {
  takeGrid();
  if (editDiffers() && ctx_.messages.askOkCancel(QString::fromUtf8("Сохранить изменения?")))
    save(current_);
  // A save that could not be sent keeps the edits in the grid, so the operator
  // can save them once the line is back; a load that could not be sent would
  // show the bytes of an earlier read as this program, and a later save would
  // write them into it.
  load(program);
  showReadTable();
  edit_ = read_;
  sendPanelKeys();
  if (ctx_.readPanel) ctx_.readPanel();
}

void TFormDataDide::takeGrid() {
  ProgramTable taken = edit_;
  for (int row = 0; row <= kStageCount; ++row) {
    for (int column = kColTemperature; column <= kColSpeed; ++column) {
      QString text = grid_->item(row + 1, column)->text();
      if (text.trimmed().isEmpty()) {
        text = "0";
        setCellText(row + 1, column, text);
      }
      const qint32 value = ParseIntText(text);
      // A value that does not fit its bits is refused here, before anything
      // is asked or written, like a text that is no number.
      if (const auto range = programCellRange(row, column)) requireInRange(value, *range);
      taken[row][column] = value;
    }
  }
  edit_ = taken;
}

bool TFormDataDide::editDiffers() const {
  for (int row = 0; row <= kStageCount; ++row)
    for (int column = kColTemperature; column <= kColSpeed; ++column)
      if (edit_[row][column] != read_[row][column]) return true;
  return false;
}

void TFormDataDide::save(int program) {
  if (program < 1 || program > kProgramCount) return;  // nothing loaded yet
  savingLabel_->show();
  ui::letEventsRun();
  const bool sent = inProgramMemory(program) ? saveToProgMem(program) : saveThroughRomPage(program);
  savingLabel_->hide();
  if (!sent)
    throw LinkFailed(
        QString::fromUtf8("Программа %1 не записана: нет связи с контроллером").arg(program));
}

bool TFormDataDide::writeStage(int program, int stage) {
  const auto record = encodeStage(edit_, stage);
  if (inProgramMemory(program))
    ctx_.link.WrProgMem(stageProgMemAddress(program, stage), record);
  else
    ctx_.link.WrRam(stageRamAddress(program, stage), record);
  return lastCommandSent();
}

bool TFormDataDide::saveToProgMem(int program) {
  // Only changed stages go out; the stage-0 value lives in stages 1..8, so a
  // change of it needs all eight.
  const bool stage0Changed = edit_[0][kColStabTime] != read_[0][kColStabTime];
  bool written[kStageCount + 1] = {};
  for (int stage = 1; stage <= kStageCount; ++stage) {
    bool changed = false;
    for (int column = kColTemperature; column <= kColSpeed; ++column)
      changed = changed || edit_[stage][column] != read_[stage][column];
    if (!changed) continue;
    if (!writeStage(program, stage)) return false;
    written[stage] = true;
  }
  if (!stage0Changed) return true;
  for (int stage = 1; stage <= 8; ++stage)
    if (!written[stage] && !writeStage(program, stage)) return false;
  return true;
}

bool TFormDataDide::saveThroughRomPage(int program) {
  // The page is rewritten as a whole from RAM, so every stage is staged. The
  // page is not erased unless the whole page could be staged first: an erase
  // after a failed staging would lose the other program of the page.
  const quint16 page = progPageBase(program);
  ctx_.link.RomPageCmd9(page);
  if (!lastCommandSent()) return false;
  for (int stage = 1; stage <= kStageCount; ++stage)
    if (!writeStage(program, stage)) return false;
  ctx_.link.RomPageCmd10(page);
  if (!lastCommandSent()) return false;
  ctx_.link.RomPageCmd11(page);
  return lastCommandSent();
}

void TFormDataDide::load(int program) {
  const std::optional<ProgramTable> table = readProgram(ctx_.link, program);
  if (!table)
    throw LinkFailed(
        QString::fromUtf8("Программа %1 не прочитана: нет связи с контроллером").arg(program));
  current_ = program;
  read_ = *table;
}

void TFormDataDide::showReadTable() {
  for (int row = 0; row <= kStageCount; ++row)
    for (int column = kColTemperature; column <= kColSpeed; ++column)
      setCellText(row + 1, column, QString::number(read_[row][column]));
}

void TFormDataDide::sendPanelKeys() {
  // Prog., then one step each way and Prog. again; on program display "25"
  // the step back comes first.
  namespace key = ctl::panelKey;
  Link& link = ctx_.link;
  const bool at25 = ctx_.programDisplayText && ctx_.programDisplayText() == "25";
  const std::uint8_t first = at25 ? key::kLeft : key::kRight;
  const std::uint8_t second = at25 ? key::kRight : key::kLeft;
  link.SendPanelKey(key::kProg);
  link.clock().sleepMs(kKeyPauseMs);
  link.SendPanelKey(first);
  link.SendPanelKey(key::kRelease);
  link.clock().sleepMs(kKeyPauseMs);
  link.SendPanelKey(second);
  link.SendPanelKey(key::kRelease);
  link.clock().sleepMs(kKeyPauseMs);
  link.SendPanelKey(key::kProg);
}

}  // namespace calorix
