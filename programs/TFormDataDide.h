#pragma once
// The current-program editor: one of the controller's 25 temperature programs
// as a grid of stages. Choosing a program in ComboBox1 offers to save the
// edits of the program loaded before, then loads the chosen one.
#include <QWidget>

#include "core/Abort.h"
#include "core/ProgramCodec.h"
#include "ui/WindowContext.h"

class QComboBox;
class QLabel;
class QTableWidget;

namespace calorix {

class TFormDataDide : public QWidget {
  Q_OBJECT
 public:
  explicit TFormDataDide(WindowContext& context, QWidget* parent = nullptr);

  // The program whose data the tables hold; 0 before the first load.
  int currentProgram() const { return current_; }
  // That program as it was read from the controller (edits not yet saved
  // are not in it): what the controller runs.
  const ProgramTable& loadedTable() const { return read_; }

 private:
  void programChosen(int index);  // ComboBox1
  void selectProgram(int program);
  void takeGrid();
  bool editDiffers() const;
  // A save or load whose commands could not be sent (link status 255) or
  // went unanswered: the selection ends with its message and the grid keeps
  // what it holds.
  struct LinkFailed : AbortAction {
    using AbortAction::AbortAction;
  };

  void save(int program);
  // False as soon as a command could not be sent; what was sent stays sent.
  bool saveToProgMem(int program);
  bool saveThroughRomPage(int program);
  void load(int program);
  void showReadTable();
  void sendPanelKeys();
  bool writeStage(int program, int stage);
  bool lastCommandSent() const;
  void setCellText(int row, int column, const QString& text);

  WindowContext& ctx_;
  QTableWidget* grid_;
  QComboBox* combo_;
  QLabel* savingLabel_;
  ProgramTable read_{};
  ProgramTable edit_{};
  int current_ = 0;
  int shownIndex_ = 0;
  bool filling_ = false;  // our own cell updates are no operator edits
};

}  // namespace calorix
