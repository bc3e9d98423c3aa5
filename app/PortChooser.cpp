#include "app/PortChooser.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QVBoxLayout>

#include "ui/Designed.h"

namespace calorix {

namespace {

enum Column { kDevice, kName, kDescription, kMaker, kSerial, kStable, kColumns };

}  // namespace

PortChooser::PortChooser(QWidget* parent, PortLister lister, const QString& current)
    : QDialog(parent), lister_(std::move(lister)) {
  setObjectName(QStringLiteral("PortChooser"));
  setWindowTitle(QString::fromUtf8("Выбор порта"));
  setAttribute(Qt::WA_DeleteOnClose);

  PortTable = designed(new QTableWidget(0, kColumns, this), QStringLiteral("PortTable"),
                       QString::fromUtf8("Последовательные порты"));
  PortTable->setHorizontalHeaderLabels(
      {QString::fromUtf8("Устройство"), QString::fromUtf8("Системное имя"),
       QString::fromUtf8("Описание"), QString::fromUtf8("Изготовитель"),
       QString::fromUtf8("Серийный номер"), QString::fromUtf8("Постоянное имя")});
  PortTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  PortTable->setSelectionMode(QAbstractItemView::SingleSelection);
  PortTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  PortTable->verticalHeader()->hide();
  PortTable->horizontalHeader()->setStretchLastSection(true);

  auto* label = new QLabel(QString::fromUtf8("&Открыть устройство:"), this);
  Device = labelled(label, designed(new QLineEdit(current, this), QStringLiteral("Device")));
  ButtonRefresh = designed(new QPushButton(QString::fromUtf8("Обновить список"), this),
                           QStringLiteral("ButtonRefresh"));
  auto* buttons = new QDialogButtonBox(this);
  ButtonOpen =
      designed(buttons->addButton(QString::fromUtf8("Открыть"), QDialogButtonBox::AcceptRole),
               QStringLiteral("ButtonOpen"));
  designed(buttons->addButton(QString::fromUtf8("Отмена"), QDialogButtonBox::RejectRole),
           QStringLiteral("ButtonCancel"));

  auto* field = new QHBoxLayout;
  field->addWidget(label);
  field->addWidget(Device, 1);
  field->addWidget(ButtonRefresh);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(PortTable, 1);
  layout->addLayout(field);
  layout->addWidget(buttons);
  resize(860, 320);

  // A row the operator selects (not the current cell a focused table takes
  // by itself) fills the field.
  connect(PortTable, &QTableWidget::itemSelectionChanged, this, [this] {
    const QList<QTableWidgetItem*> picked = PortTable->selectedItems();
    if (picked.isEmpty()) return;
    const int row = picked.first()->row();
    if (row >= 0 && row < int(ports_.size())) Device->setText(ports_[std::size_t(row)].device());
  });
  connect(PortTable, &QTableWidget::cellDoubleClicked, this, [this] { accept(); });
  connect(ButtonRefresh, &QPushButton::clicked, this, &PortChooser::refresh);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  // Nothing to open without a device.
  const auto enableOpen = [this] { ButtonOpen->setEnabled(!device().isEmpty()); };
  connect(Device, &QLineEdit::textChanged, this, enableOpen);
  enableOpen();
  refresh();
}

void PortChooser::refresh() {
  ports_ = lister_ ? lister_() : std::vector<PortEntry>{};
  const QSignalBlocker quiet(PortTable);
  PortTable->setRowCount(int(ports_.size()));
  for (std::size_t i = 0; i < ports_.size(); ++i) {
    const PortEntry& p = ports_[i];
    const QString cells[kColumns] = {p.location,     p.name,         p.description,
                                     p.manufacturer, p.serialNumber, p.stableName};
    for (int c = 0; c < kColumns; ++c)
      PortTable->setItem(int(i), c, new QTableWidgetItem(cells[c]));
  }
  PortTable->resizeColumnsToContents();
  // The port in use, when it is listed, is the current row.
  for (std::size_t i = 0; i < ports_.size(); ++i)
    if (ports_[i].device() == device() || ports_[i].location == device())
      PortTable->selectRow(int(i));
}

}  // namespace calorix
