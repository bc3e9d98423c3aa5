// The panel area of the main window: the group boxes that look like the
// controller's front panel, the bottom row and the link light.
#include "panel/PanelMirror.h"
#include "panel/PanelStyle.h"
#include "ui/Designed.h"

namespace calorix {

namespace {

using panel::fill;
using panel::label;
using panel::pixelFont;

const QColor kCream(255, 251, 240);

// A read-only seven-segment display: white, red bold Tahoma.
QLineEdit* display(QWidget* parent, const QString& name, QRect at, const QString& text) {
  auto* e = designed(new QLineEdit(text, parent), name);
  e->setGeometry(at);
  e->setReadOnly(true);
  e->setFocusPolicy(Qt::NoFocus);
  e->setAlignment(Qt::AlignCenter);
  e->setFont(pixelFont({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}, 44, true));
  fill(e, QPalette::Base, Qt::white);
  fill(e, QPalette::Text, panel::paint::kDisplayText);
  return e;
}

// Named by the label beside it (labelled).
QLineEdit* bar(QWidget* parent, const QString& name, QRect at, const QColor& color) {
  auto* e = designed(new QLineEdit(QStringLiteral("IIIIIIIIII"), parent), name);
  e->setGeometry(at);
  e->setReadOnly(true);
  e->setFocusPolicy(Qt::NoFocus);
  e->setFont(pixelFont({QStringLiteral("Bauhaus 93"), QStringLiteral("DejaVu Sans")}, 16, true,
                       QFont::Decorative));
  fill(e, QPalette::Text, color);
  return e;
}

panel::Circle* lamp(QWidget* parent, const QString& name, QPoint at) {
  auto* c = designed(new panel::Circle(parent, panel::paint::kSilver), name);
  c->setGeometry(QRect(at, QSize(17, 17)));
  return c;
}

}  // namespace

void PanelMirror::buildPanelArea() {
  QWidget* form = form_;
  using panel::button;
  Panel1 = designed(new QGroupBox(form), QStringLiteral("Panel1"));
  Panel1->setGeometry(8, 0, 708, 330);
  fill(Panel1, QPalette::Window, colors::kActiveBorder);

  GroupBox1 = designed(new QGroupBox(QString::fromUtf8("ОАО \"Термикон\""), Panel1),
                       QStringLiteral("GroupBox1"), QString::fromUtf8("ОАО \"Термикон\""));
  GroupBox1->setGeometry(16, 24, 673, 289);
  GroupBox1->setFont(
      pixelFont({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}, 19, true));
  fill(GroupBox1, QPalette::Window, kCream);

  // Not designed: the strip of Panel1 above GroupBox1 is free in every view
  // mode, so a run's warning shows there without moving a designed control.
  warningLabel_ = designed(new QLabel(Panel1), QStringLiteral("LabelRunWarning"));
  warningLabel_->setGeometry(16, 2, 673, 20);
  warningLabel_->setAlignment(Qt::AlignCenter);
  warningLabel_->setFont(
      pixelFont({QStringLiteral("Tahoma"), QStringLiteral("DejaVu Sans")}, 13, true));
  fill(warningLabel_, QPalette::WindowText, QColor(200, 0, 0));
  warningLabel_->hide();

  // ---- Режим работы: program and stage, the three bars, the heater lamp --
  const QString rezim = QString::fromUtf8("Режим работы");
  RezimRab = designed(new QGroupBox(rezim, GroupBox1), QStringLiteral("RezimRab"), rezim);
  RezimRab->setGeometry(10, 30, 262, 250);
  EditProg =
      display(RezimRab, QStringLiteral("EditProg"), QRect(12, 32, 73, 60), QStringLiteral("8.8."));
  EditStup =
      display(RezimRab, QStringLiteral("EditStup"), QRect(100, 32, 73, 60), QStringLiteral("8.8."));
  labelled(label(RezimRab, QString::fromUtf8("Программа"), QPoint(12, 94)), EditProg);
  labelled(label(RezimRab, QString::fromUtf8("Ступень"), QPoint(104, 94)), EditStup);
  struct BarPlace {
    QLineEdit** field;
    const char* name;
    const char* label;
    QColor color;
  };
  const BarPlace bars[] = {
      {&EditNagrev, "EditNagrev", "Нагрев", panel::paint::kHeatingBar},
      {&EditStabil, "EditStabil", "Стабилизация", panel::paint::kStabilisingBar},
      {&EditOstuv, "EditOstuv", "Остывание", panel::paint::kCoolingBar},
  };
  int y = 126;
  for (const BarPlace& b : bars) {
    *b.field = bar(RezimRab, QString::fromLatin1(b.name), QRect(12, y, 110, 25), b.color);
    labelled(label(RezimRab, QString::fromUtf8(b.label), QPoint(128, y + 4)), *b.field);
    y += 36;
  }
  const QString heater = QString::fromUtf8("Нагреватель");
  SvPuskStop = lamp(RezimRab, QStringLiteral("SvPuskStop"), QPoint(210, 40));
  labelled(label(RezimRab, heater, QPoint(180, 62)), SvPuskStop);

  // ---- Параметры: the parameter display, unit lamps, Пуск/Стоп ----------
  const QString params = QString::fromUtf8("Параметры");
  Param = designed(new QGroupBox(params, GroupBox1), QStringLiteral("Param"), params);
  Param->setGeometry(282, 30, 190, 250);
  EditParam = display(Param, QStringLiteral("EditParam"), QRect(18, 32, 153, 60),
                      QStringLiteral("8.8.8.8."));
  struct LampPlace {
    panel::Circle** lamp;
    const char* name;
    const char* label;
  };
  const LampPlace lamps[] = {
      {&SvGrad, "SvGrad", "t°C"}, {&SvMin, "SvMin", "Мин"}, {&SvSpeed, "SvSpeed", "°C/мин"}};
  y = 112;
  for (const LampPlace& l : lamps) {
    *l.lamp = lamp(Param, QString::fromLatin1(l.name), QPoint(20, y));
    labelled(label(Param, QString::fromUtf8(l.label), QPoint(44, y + 1)), *l.lamp);
    y += 36;
  }
  const QColor lowerKey = panel::paint::kKeyBottom;
  keyPuskStop = new panel::DrawnKey(Param, QStringLiteral("ShapePuskStop"), QPoint(128, 150),
                                    QSize(41, 33), QSize(41, 33), -1, 1, lowerKey);
  labelled(label(Param, QString::fromUtf8("Пуск/Стоп"), QPoint(112, 188)),
           designed(keyPuskStop->top(), QStringLiteral("ShapePuskStopTop")));

  // ---- Ввод параметров: the knob, "<" and ">", Прог., Ступ., Парам. ------
  const QString input = QString::fromUtf8("Ввод параметров");
  VvodParam = designed(new QGroupBox(input, GroupBox1), QStringLiteral("VvodParam"), input);
  VvodParam->setGeometry(482, 30, 181, 250);
  keyEncoder = new panel::DrawnKey(VvodParam, QStringLiteral("ShapeEncoder"), QPoint(45, 34),
                                   QSize(97, 89), QSize(97, 89), -5, -4, panel::paint::kKeyTop);
  Button21 =
      button(VvodParam, QStringLiteral("Button21"), QStringLiteral("<"), QRect(12, 112, 25, 25));
  Button22 =
      button(VvodParam, QStringLiteral("Button22"), QStringLiteral(">"), QRect(146, 112, 25, 25));
  struct KeyPlace {
    panel::DrawnKey** key;
    const char* name;
    const char* label;
    int x;
    int upperWidth;
  };
  const KeyPlace keys[] = {{&keyProg, "ShapeProg", "Прог.", 12, 41},
                           {&keyStup, "ShapeStup", "Ступ.", 70, 40},
                           {&keyParam, "ShapeParam", "Парам.", 128, 41}};
  for (const KeyPlace& k : keys) {
    const QString name = QString::fromLatin1(k.name);
    *k.key = new panel::DrawnKey(VvodParam, name, QPoint(k.x, 160), QSize(41, 33),
                                 QSize(k.upperWidth, 33), -1, 1, lowerKey);
    labelled(label(VvodParam, QString::fromUtf8(k.label), QPoint(k.x - 2, 198)),
             designed((*k.key)->top(), name + QStringLiteral("Top")));
  }

  // ---- bottom row and the link light -------------------------------------
  Button33 = button(form, QStringLiteral("Button33"), QString::fromUtf8("Обновить"),
                    QRect(8, 336, 137, 25));
  Edit37 = designed(new QLineEdit(form), QStringLiteral("Edit37"));
  Edit37->setGeometry(200, 336, 121, 21);
  Button30 = button(form, QStringLiteral("Button30"), QString::fromUtf8("Работа с ПИДом"),
                    QRect(360, 336, 161, 25));
  Button32 = button(form, QStringLiteral("Button32"), QString::fromUtf8("Данные печи"),
                    QRect(552, 336, 161, 25));
  ShapeTimer1 = designed(new panel::Circle(form, Qt::white), QStringLiteral("ShapeTimer1"));
  ShapeTimer1->setGeometry(768, 16, 33, 33);
}

}  // namespace calorix
