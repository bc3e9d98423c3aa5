// The controls of the trend window and where they sit: a tool row above the
// chart, the curve switches beside it, the read-out below.
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include <initializer_list>

#include "plot/ChartRenderer.h"
#include "trend/TFormGrafik.h"
#include "ui/Designed.h"

namespace calorix {

namespace {

QString utf8(const char* text) {
  return QString::fromUtf8(text);
}

QPushButton* button(QWidget* parent, const char* name, const char* caption) {
  return designed(new QPushButton(utf8(caption), parent), QString::fromLatin1(name));
}

// The curves shown when the window first opens: what a run is judged by.
bool shownAtFirst(plot::Quantity q) {
  using plot::Quantity;
  return q == Quantity::Temperature || q == Quantity::SetTemperature || q == Quantity::HeaterPower;
}

}  // namespace

void TFormGrafik::build() {
  auto* layout = new QGridLayout(this);
  layout->addWidget(buildToolbar(), 0, 0, 1, 2);
  layout->addWidget(buildFileAndPlanRow(), 1, 0, 1, 2);
  layout->addWidget(buildCurveToggles(), 2, 0);

  chart_ = new TrendChart;
  view_ =
      designed(new TrendChartView(chart_, this), QStringLiteral("ChartViewGrafik"), utf8("График"));
  view_->setMinimumSize(640, 360);
  layout->addWidget(view_, 2, 1);
  layout->setColumnStretch(1, 1);
  layout->setRowStretch(2, 1);

  LabelReadout =
      designed(new QLabel(this), QStringLiteral("LabelReadout"), utf8("Значения под указателем"));
  LabelReadout->setWordWrap(true);
  LabelReadout->setTextInteractionFlags(Qt::TextSelectableByMouse);
  LabelReadout->setMinimumHeight(LabelReadout->fontMetrics().height() * 3);
  LabelReadout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  layout->addWidget(LabelReadout, 3, 0, 1, 2);
}

QWidget* TFormGrafik::buildToolbar() {
  auto* row = new QWidget(this);
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(0, 0, 0, 0);

  CheckBoxSledit = designed(new QCheckBox(utf8("Следить"), row), QStringLiteral("CheckBoxSledit"));
  CheckBoxSledit->setChecked(true);
  SpinMinutes = designed(new QSpinBox(row), QStringLiteral("SpinMinutes"));
  SpinMinutes->setRange(1, 24 * 60);
  SpinMinutes->setValue(10);
  auto* minutes = new QLabel(utf8("последних минут"), row);
  labelled(minutes, SpinMinutes);
  ButtonAll = button(row, "ButtonAll", "Весь график");
  line->addWidget(CheckBoxSledit);
  line->addWidget(SpinMinutes);
  line->addWidget(minutes);
  line->addWidget(ButtonAll);
  line->addStretch(1);

  LabelInfo = designed(new QLabel(row), QStringLiteral("LabelInfo"), utf8("Что показано"));
  LabelInfo->setTextInteractionFlags(Qt::TextSelectableByMouse);
  line->addWidget(LabelInfo);
  return row;
}

QWidget* TFormGrafik::buildFileAndPlanRow() {
  auto* row = new QWidget(this);
  auto* line = new QHBoxLayout(row);
  line->setContentsMargins(0, 0, 0, 0);

  // The plan: the editor's program (0) or one read from the controller.
  ButtonPlan = button(row, "ButtonPlan", "План");
  SpinProgram = designed(new QSpinBox(row), QStringLiteral("SpinProgram"));
  SpinProgram->setRange(0, kProgramCount);
  SpinProgram->setSpecialValueText(utf8("из редактора"));
  auto* program = new QLabel(utf8("Программа плана"), row);
  labelled(program, SpinProgram);
  SpinMargin = designed(new QDoubleSpinBox(row), QStringLiteral("SpinMargin"));
  SpinMargin->setRange(0, 1000);
  SpinMargin->setDecimals(1);
  SpinMargin->setValue(10);
  auto* margin = new QLabel(utf8("Отставание больше, °C"), row);
  labelled(margin, SpinMargin);
  ButtonNoPlan = button(row, "ButtonNoPlan", "Убрать план");
  for (QWidget* w : std::initializer_list<QWidget*>{program, SpinProgram, ButtonPlan, margin,
                                                    SpinMargin, ButtonNoPlan})
    line->addWidget(w);
  line->addStretch(1);

  ButtonOpenLog = button(row, "ButtonOpenLog", "Открыть журнал...");
  ButtonLive = button(row, "ButtonLive", "Текущая работа");
  ButtonLive->setEnabled(false);  // until a log is shown
  ButtonCsv = button(row, "ButtonCsv", "CSV...");
  ButtonPng = button(row, "ButtonPng", "PNG...");
  ButtonSvg = button(row, "ButtonSvg", "SVG...");
  for (QWidget* w :
       std::initializer_list<QWidget*>{ButtonOpenLog, ButtonLive, ButtonCsv, ButtonPng, ButtonSvg})
    line->addWidget(w);
  return row;
}

QWidget* TFormGrafik::buildCurveToggles() {
  auto* box = designed(new QGroupBox(utf8("Кривые"), this), QStringLiteral("GroupBoxCurves"),
                       utf8("Кривые"));
  auto* column = new QVBoxLayout(box);
  for (const plot::QuantityInfo& info : plot::kQuantities) {
    auto* check = new QCheckBox(utf8(info.label), box);
    check->setChecked(shownAtFirst(info.quantity));
    // The caption in the curve's own colour stands for a legend entry.
    QPalette palette = check->palette();
    palette.setColor(QPalette::WindowText, plot::curveColor(info.quantity));
    check->setPalette(palette);
    designed(check, QStringLiteral("CheckBox_") + QString::fromLatin1(info.key));
    column->addWidget(check);
    curveBoxes_[std::size_t(info.quantity)] = check;
  }
  column->addStretch(1);
  return box;
}

}  // namespace calorix
