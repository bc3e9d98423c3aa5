// The controls of the PID work window and where they sit. Layouts place
// them, so every caption keeps the room its text needs in whatever font the
// system has; a field is at least as wide as its designed text and the
// longest number it shows.
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "pid/TFormRabPID.h"
#include "ui/Designed.h"

namespace calorix {

namespace {

using ui::pressButton;

// Room for the texts a display field shows: a signed 16.16 action in its 15
// significant digits, or the field's own name.
const char* const kWidestValue = "-21,7620086669922";
constexpr int kFieldPadding = 16;

QString utf8(const char* text) {
  return QString::fromUtf8(text);
}

void fitWidth(QLineEdit* field, const QString& widest) {
  const QFontMetrics fm(field->font());
  const int text = std::max(fm.horizontalAdvance(field->text()), fm.horizontalAdvance(widest));
  field->setMinimumWidth(text + kFieldPadding);
}

QGroupBox* group(QWidget* parent, const char* name, const char* caption) {
  return designed(new QGroupBox(utf8(caption), parent), QString::fromLatin1(name), utf8(caption));
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, bool ticked) {
  auto* box = new QCheckBox(utf8(caption), parent);
  box->setChecked(ticked);
  return designed(box, QString::fromLatin1(name));
}

}  // namespace

QLineEdit* TFormRabPID::makeField(QWidget* parent, const char* name, const QString& accessibleName,
                                  const QString& widest) {
  const QString id = QString::fromLatin1(name);
  // Until a handler fills it, a field shows its own name.
  auto* field = designed(new QLineEdit(id, parent), id, accessibleName);
  fitWidth(field, widest.isNull() ? QString::fromLatin1(kWidestValue) : widest);
  fields_.insert(id, field);
  return field;
}

QLineEdit* TFormRabPID::addField(QGridLayout* grid, int row, const char* name, const char* label,
                                 int column) {
  QWidget* parent = grid->parentWidget();
  QLineEdit* field = makeField(parent, name, QString());
  if (label) {
    auto* text = new QLabel(utf8(label), parent);
    grid->addWidget(text, row, column);
    labelled(text, field);
  }
  grid->addWidget(field, row, column + 1);
  return field;
}

void TFormRabPID::build() {
  auto* columns = new QGridLayout(this);
  columns->addWidget(buildRunControls(), 0, 0, 1, 3);

  // Three columns: the coefficients and what nothing fills; the stage and the
  // regulator's quantities; the temperatures and the speed loop.
  QGroupBox* currentStage = nullptr;
  auto* left = new QVBoxLayout;
  left->addWidget(buildConstantCoefs());
  left->addWidget(buildCurrentCoefs());
  left->addWidget(buildAmplifier());
  left->addWidget(buildUnusedGroups(currentStage));
  left->addWidget(currentStage);
  left->addWidget(buildLooseFields());
  left->addStretch();

  auto* middle = new QVBoxLayout;
  middle->addWidget(buildStageParams());
  middle->addWidget(buildRegulatorValues());
  middle->addStretch();

  auto* right = new QVBoxLayout;
  right->addWidget(buildTemperatureChanges());
  right->addWidget(buildSpeedValues());
  right->addStretch();

  auto* body = new QHBoxLayout;
  for (QVBoxLayout* column : {left, middle, right}) body->addLayout(column);
  columns->addLayout(body, 1, 0, 1, 3);
}

QWidget* TFormRabPID::buildRunControls() {
  auto* row = new QWidget(this);
  auto* grid = new QGridLayout(row);
  grid->setContentsMargins(0, 0, 0, 0);
  CheckBox1 = checkBox(row, "CheckBox1", "Вывод данных PID в файл", true);
  CheckBox3 = checkBox(row, "CheckBox3", "Запрет уменьшения пропор возд", false);
  Button1 = pressButton(utf8("Вкл нагрева"), QStringLiteral("Button1"), row);
  Button3 = pressButton(utf8("Выкл нагрева"), QStringLiteral("Button3"), row);
  // "Выкл нагрева" takes the place of "Вкл нагрева" while a run goes on.
  Button3->hide();
  Button3->setEnabled(false);
  EditNumIzm = makeField(row, "EditNumIzm", QString());
  grid->addWidget(CheckBox1, 0, 0);
  grid->addWidget(CheckBox3, 1, 0);
  grid->addWidget(Button1, 0, 1);
  grid->addWidget(Button3, 0, 1);
  grid->addWidget(EditNumIzm, 1, 1);
  // The phase texts of the regulator, and the number parser's scratch field.
  const QString widestPhase = utf8("СТАБИЛИЗАЦИЯ");
  grid->addWidget(makeField(row, "EditN", QString(), widestPhase), 0, 2);
  grid->addWidget(makeField(row, "EditD", QString(), widestPhase), 0, 3);
  grid->addWidget(makeField(row, "EditS", QString(), widestPhase), 0, 4);
  EditTemp = makeField(row, "EditTemp", QString());
  grid->addWidget(EditTemp, 1, 4);
  // "График" sits in the free cell beside the phase fields, no taller than a
  // field, so no designed control moves.
  ButtonGrafik = pressButton(utf8("График"), QStringLiteral("ButtonGrafik"), row);
  ButtonGrafik->setMaximumHeight(EditTemp->sizeHint().height());
  grid->addWidget(ButtonGrafik, 1, 2);
  grid->setColumnStretch(5, 1);
  return row;
}

QGroupBox* TFormRabPID::buildConstantCoefs() {
  QGroupBox* box = group(this, "GroupBox1", "Постоянные коэффициенты PID");
  auto* grid = new QGridLayout(box);
  CheckBox2 = checkBox(box, "CheckBox2", "Задать к-ты PID", false);
  grid->addWidget(CheckBox2, 0, 0, 1, 2);
  EditPK = addField(grid, 1, "EditPK", "Пропорциональный к-нт");
  EditIK = addField(grid, 2, "EditIK", "Интегральный к-нт");
  EditDK = addField(grid, 3, "EditDK", "Дифференциальный к-нт");
  return box;
}

QGroupBox* TFormRabPID::buildCurrentCoefs() {
  QGroupBox* box = group(this, "GroupBox2", "Текущие коэффициенты PID");
  auto* grid = new QGridLayout(box);
  addField(grid, 0, "EditTecPK", "Пропорциональный к-нт");
  addField(grid, 1, "EditTecIK", "Интегральный к-нт");
  addField(grid, 2, "EditTecDK", "Дифференциальный к-нт");
  addField(grid, 3, "EditTK", "Температура");
  Button2 = pressButton(utf8("Чтение коэффициентов"), QStringLiteral("Button2"), box);
  grid->addWidget(Button2, 4, 0, 1, 2);
  return box;
}

QGroupBox* TFormRabPID::buildAmplifier() {
  QGroupBox* box = group(this, "GroupBox3", "Коэффициенты расчета термопары");
  auto* grid = new QGridLayout(box);
  EditTecKUs = addField(grid, 0, "EditTecKUs", "Коэффицент усилителя термопары");
  Button5 = pressButton(utf8("Чтение"), QStringLiteral("Button5"), box);
  Button6 = pressButton(utf8("Запись"), QStringLiteral("Button6"), box);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(Button5);
  buttons->addWidget(Button6);
  grid->addLayout(buttons, 1, 0, 1, 2);
  return box;
}

QGroupBox* TFormRabPID::buildStageParams() {
  QGroupBox* box = group(this, "GroupBoxZNP", "Заданные параметры на этапе");
  auto* grid = new QGridLayout(box);
  addField(grid, 0, "EditZNumP", "Номер программы");
  addField(grid, 1, "EditZNumE", "Номер этапа");
  addField(grid, 2, "EditZTE", "Заданная температура");
  addField(grid, 3, "EditZTimeE", "Заданное время стабилизации ");
  addField(grid, 4, "EditZSE", "Заданная скорость");
  addField(grid, 5, "EditZOtSt", "Время отложенного старта");
  Button4 = pressButton(utf8("Чтение параметров"), QStringLiteral("Button4"), box);
  grid->addWidget(Button4, 6, 0, 1, 2);
  return box;
}

// Controls the window carries that nothing fills or uses.
QGroupBox* TFormRabPID::buildUnusedGroups(QGroupBox*& currentStage) {
  QGroupBox* byTemperature =
      group(this, "GroupBox4", "Коэффициенты изменения к-ов PIDа от температуры");
  byTemperature->setMinimumHeight(byTemperature->fontMetrics().height() * 3);

  currentStage = group(this, "GroupBox8", "Текущие параметры на этапе");
  auto* labels = new QVBoxLayout(currentStage);
  for (const char* text : {"Номер этапа", "Текущая температура", "Отклонение температуры",
                           "Состояние этапа", "Оставшееся время"})
    labels->addWidget(new QLabel(utf8(text), currentStage));
  return byTemperature;
}

QWidget* TFormRabPID::buildLooseFields() {
  auto* area = new QWidget(this);
  auto* grid = new QGridLayout(area);
  grid->setContentsMargins(0, 0, 0, 0);
  addField(grid, 0, "Edit6", "Температура термопары с датчиком\nкомн температуры с округлением");
  QLineEdit* previous = addField(grid, 1, "Edit1", "Температура предыдущая");
  // One label stands for both fields of the previous temperature.
  QLineEdit* second = makeField(area, "Edit2", previous->accessibleName());
  grid->addWidget(second, 2, 1);
  return area;
}

QGroupBox* TFormRabPID::buildTemperatureChanges() {
  QGroupBox* box = group(this, "GroupBox5", "Изменения температуры");
  auto* grid = new QGridLayout(box);
  addField(grid, 0, "EditDKT", "Температура датчика\nкомнатной температуры");
  addField(grid, 1, "EditVUT", "Напряжение термопары на выходе усилителя");
  addField(grid, 2, "EditVUT100", "Нормированное напряжение термопары");
  addField(grid, 3, "EditTempTermT", "Теоретическая температура термопары");
  addField(grid, 4, "EditTAB", "Температура термопары откорректированная");
  addField(grid, 5, "EditTNoOp", "Температура термопары неокругленная");
  grid->addWidget(new QLabel(utf8("Tкорр = A*T  +  B"), box), 6, 0, 1, 2);
  addField(grid, 7, "EditKA", "A");
  addField(grid, 8, "EditKB", "B");
  return box;
}

QGroupBox* TFormRabPID::buildRegulatorValues() {
  QGroupBox* box = group(this, "GroupBox6", "GroupBox6");
  auto* grid = new QGridLayout(box);
  addField(grid, 0, "EditErrTTec", "Разность температур");
  addField(grid, 1, "EditErrPred", "Предыдущая разность");
  addField(grid, 2, "EditErrSumm", "Сумма разностей");
  addField(grid, 3, "EditPUV", "Пропорциональное воздействие");
  addField(grid, 4, "EditIUV", "Интегральное воздействие");
  addField(grid, 5, "EditDUV", "Дифференциальное воздействие");
  addField(grid, 6, "EditAllUV", "Суммарное воздействие");
  addField(grid, 7, "EditOPN", "Ограничение мощности нагревателя, %");
  addField(grid, 8, "EditRPN", "Расчетная мощность нагревателя, %");
  addField(grid, 9, "EditPN", "Окончательная мощность нагревателя");
  return box;
}

QGroupBox* TFormRabPID::buildSpeedValues() {
  QGroupBox* box = group(this, "GroupBox7", "GroupBox7");
  auto* grid = new QGridLayout(box);
  addField(grid, 0, "Edit3", "Текущая температура", 0);
  addField(grid, 1, "Edit4", "Скорость нагрева", 0);
  addField(grid, 2, "Edit5", "Заданная скорость", 0);
  addField(grid, 3, "Edit7", "Мощность для скорости", 0);
  // The sign of a speed value stands in its own small field before it.
  const auto signedValue = [&](int row, const char* sign, const char* value, const char* label) {
    QLineEdit* valueField = addField(grid, row, value, label, 0);
    QLineEdit* signField =
        makeField(box, sign, utf8("Знак: ") + valueField->accessibleName(), QStringLiteral("+"));
    signField->setMaximumWidth(signField->minimumWidth());
    auto* pair = new QHBoxLayout;
    grid->removeWidget(valueField);
    pair->addWidget(signField);
    pair->addWidget(valueField, 1);
    grid->addLayout(pair, row, 1);
  };
  signedValue(4, "Edit11", "Edit8", "Проп возд");
  signedValue(5, "Edit10", "Edit9", "Сумма ошибок интеграл");
  addField(grid, 6, "Edit12", "Регистр R14", 0);
  addField(grid, 7, "Edit13", "Необход раб с инт сост", 0);
  addField(grid, 8, "Edit14", "Регистр R15", 0);
  return box;
}

}  // namespace calorix
