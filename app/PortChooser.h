#pragma once
// The port chooser: the serial ports of this machine as the one listing gives
// them (device, system name, description, maker, serial number, stable name),
// and a field for any device, a pseudo-terminal say. A row fills the field
// with the device to open and keep: its stable name where it has one. Opened
// from the main window (Ctrl+P, and the context menu of Edit_Contrl); what it
// chose goes to Console::choosePort. It exchanges nothing itself.
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <functional>
#include <vector>

#include "link/PortList.h"

namespace calorix {

using PortLister = std::function<std::vector<PortEntry>()>;

class PortChooser : public QDialog {
  Q_OBJECT
 public:
  // current: the device in use, shown in the field until a row is chosen.
  PortChooser(QWidget* parent, PortLister lister, const QString& current);

  // The device to open: what the field holds, trimmed.
  QString device() const { return Device->text().trimmed(); }
  // Lists the ports again (an adapter plugged in meanwhile).
  void refresh();

 private:
  PortLister lister_;
  std::vector<PortEntry> ports_;
  QTableWidget* PortTable = nullptr;
  QLineEdit* Device = nullptr;
  QPushButton* ButtonRefresh = nullptr;
  QPushButton* ButtonOpen = nullptr;
};

}  // namespace calorix
