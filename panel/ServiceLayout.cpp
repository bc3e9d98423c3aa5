// The controls of the service area at their designed places.
#include "panel/PanelDecode.h"
#include "panel/PanelStyle.h"
#include "panel/ServiceArea.h"
#include "ui/Designed.h"

namespace calorix {

namespace {
using panel::button;
using panel::label;
}  // namespace

QLineEdit* ServiceArea::field(const QString& name, QRect at, const QString& text) {
  auto* e = designed(new QLineEdit(text.isNull() ? name : text, form_), name);
  e->setGeometry(at);
  return e;
}

void ServiceArea::build() {
  QWidget* f = form_;
  // A field with its label on the left, named by the label.
  auto row = [&](const char* name, const char* text, int labelX, int fieldX, int y, int width) {
    QLabel* caption = label(f, QString::fromUtf8(text), QPoint(labelX, y + 4));
    return labelled(caption, field(QString::fromLatin1(name), QRect(fieldX, y, width, 22)));
  };
  auto hiddenButton = [&](const char* name, const char* caption, QRect at) {
    ui::MouseButton* b = button(f, QString::fromLatin1(name), QString::fromUtf8(caption), at);
    b->hide();
    hiddenAsDesigned_.push_back(b);
    return b;
  };

  // ---- right of the panel: link status, coefficients, set temperature -----
  Shape_Sp = designed(new panel::Circle(f, panel::paint::kLampLit), QStringLiteral("Shape_Sp"));
  Shape_Sp->setGeometry(812, 16, 33, 33);
  Shape_Sp->hide();
  Edit_Contrl = field(QStringLiteral("Edit_Contrl"), QRect(860, 22, 300, 22));
  Edit_Contrl->setReadOnly(true);

  EditPK = row("EditPK", "Пропорциональный к-нт", 744, 960, 60, 110);
  EditDK = row("EditDK", "Дифференциальный к-нт", 744, 960, 88, 110);
  EditIK = row("EditIK", "Интегральный к-нт", 744, 960, 116, 110);
  button(f, QStringLiteral("Button12"), QString::fromUtf8("Чтение коэффициентов"),
         QRect(744, 148, 205, 25));
  button(f, QStringLiteral("Button16"), QString::fromUtf8("Запись коэффициентов"),
         QRect(956, 148, 205, 25));
  EditZadTemp = row("EditZadTemp", "Заданная температура", 744, 960, 186, 110);
  button(f, QStringLiteral("Button13"), QString::fromUtf8("Чтение зад. температуры"),
         QRect(744, 216, 205, 25));
  button(f, QStringLiteral("Button14"), QString::fromUtf8("Запись зад. температуры"),
         QRect(956, 216, 205, 25));
  button(f, QStringLiteral("Button17"), QString::fromUtf8("Изменение программ"),
         QRect(744, 252, 205, 25));
  button(f, QStringLiteral("Button18"), QString::fromUtf8("Изменения коэффициентов"),
         QRect(956, 252, 205, 25));
  heatOffButton_ = button(f, QStringLiteral("Button11"), QString::fromUtf8("ВЫКЛ НАГРЕВ"),
                          QRect(744, 288, 205, 25));
  pbButton_ = button(f, QStringLiteral("Button6"), QStringLiteral("P/B"), QRect(956, 288, 96, 25));
  dwordHighHalf_ = field(QStringLiteral("Edit1"), QRect(744, 326, 100, 22));
  dwordLowHalf_ = field(QStringLiteral("Edit2"), QRect(852, 326, 100, 22));
  button(f, QStringLiteral("Button23"), QStringLiteral("Button23"), QRect(960, 324, 100, 25));
  Edit_NumIzm = row("Edit_NumIzm", "Номер измерения", 744, 960, 362, 110);

  // ---- below the panel, left: thermocouple channel, memory reads, raw bytes
  button(f, QStringLiteral("Button15"), QString::fromUtf8("Чтение коэффициентов термопары"),
         QRect(8, 410, 300, 25));
  Edit3201U = row("Edit3201U", "Напряжение термопары исходное", 8, 300, 444, 120);
  Edit3201UKorr = row("Edit3201UKorr", "Напряжение термопары откорректир", 8, 300, 472, 120);
  EditTT = row("EditTT", "Температура термопары без датчика", 8, 300, 500, 120);
  EditTD = row("EditTD", "Температура датчика", 8, 300, 528, 120);
  EditTTKorr = row("EditTTKorr", "Температура термопары с датчиком", 8, 300, 556, 120);

  const QString addr = QString::fromUtf8("Адрес чтения");
  const QString count = QString::fromUtf8("Кол=-во байт");
  const QString bytes = QString::fromUtf8("Прочитанные байты");
  QLabel* addrLabel = label(f, addr, QPoint(8, 596));
  QLabel* countLabel = label(f, count, QPoint(120, 596));
  QLabel* bytesLabel = label(f, bytes, QPoint(232, 596));
  EditAdrRdByte = labelled(addrLabel, field(QStringLiteral("EditAdrRdByte"), QRect(8, 614, 100, 22),
                                            QStringLiteral("$")));
  EditNumRdByte = labelled(countLabel, field(QStringLiteral("EditNumRdByte"),
                                             QRect(120, 614, 100, 22), QStringLiteral("$")));
  EditByteRD = labelled(bytesLabel, field(QStringLiteral("EditByteRD"), QRect(232, 614, 270, 22)));
  button(f, QStringLiteral("Button24"), QString::fromUtf8("Чтение ОЗУ"), QRect(8, 644, 140, 25));

  // Typed reads: address fields, results, and the four bytes of the last read.
  byteWordAddress_ = row("Edit18", "Адрес", 8, 60, 684, 80);
  byteValue_ = field(QStringLiteral("Edit17"), QRect(150, 684, 80, 22));
  wordValue_ = field(QStringLiteral("Edit19"), QRect(240, 684, 80, 22));
  hiddenButton("Button8", "Чтение байта", QRect(330, 682, 85, 25));
  hiddenButton("Button9", "Чтение слова", QRect(420, 682, 85, 25));
  dwordAddress_ = row("Edit22", "Адрес", 8, 60, 714, 80);
  dwordValue_ = field(QStringLiteral("Edit21"), QRect(150, 714, 120, 22));
  hiddenButton("Button10", "Чтение дв.слова", QRect(330, 712, 110, 25));
  for (int i = 0; i < 4; ++i) {
    // EditB3 leftmost: the bytes read left to right from the highest.
    const int x = 60 + (3 - i) * 60;
    const QString digit = QString::number(i);
    QLabel* caption = label(f, digit, QPoint(x + 18, 744));
    EditB[i] = labelled(caption, field(QStringLiteral("EditB%1").arg(i), QRect(x, 760, 50, 22)));
  }

  rawByteToSend_ = field(QStringLiteral("Edit26"), QRect(8, 800, 80, 22));
  button(f, QStringLiteral("Button19"), QStringLiteral("Button19"), QRect(96, 798, 90, 25));
  rawByteReceived_ = field(QStringLiteral("Edit27"), QRect(200, 800, 80, 22));
  button(f, QStringLiteral("Button20"), QStringLiteral("Button20"), QRect(288, 798, 90, 25));

  // ---- below the panel, right: plain key buttons and the stream's fields --
  struct Key {
    const char* name;
    const char* caption;
  };
  const Key keys[] = {{"Button1", "Увеличить"},
                      {"Button2", "Уменьшить"},
                      {"Button3", "Ступень"},
                      {"Button4", "<="},
                      {"Button5", "t/T/N"}};
  int x = 540;
  for (const Key& k : keys) {
    button(f, QString::fromLatin1(k.name), QString::fromUtf8(k.caption), QRect(x, 410, 118, 25));
    x += 124;
  }
  struct Value {
    const char* name;
    const char* label;
  };
  const Value values[] = {
      {"EditTempDat", "Температура датчика"}, {"EditTempTP", "Температура термопары"},
      {"EditTecErr", "Ошибка температуры"},   {"EditSumErr", "Сумма ошибок (интеграл)"},
      {"EditPUV", "Пропорциональное УВ"},     {"EditDUV", "Дифференциальное УВ"},
      {"EditIUV", "Интегральное УВ"},         {"EditAllUV", "Общее УВ"},
      {"EditPN", "Мощность нагревателя, %"}};
  int y = 452;
  for (const Value& v : values) {
    row(v.name, v.label, 540, 780, y, 120);
    y += 28;
  }
  // Raw thermocouple voltage, normalised voltage, corrected temperature.
  field(QStringLiteral("Edit23"), QRect(920, 452, 80, 22));
  field(QStringLiteral("Edit24"), QRect(920, 480, 80, 22));
  field(QStringLiteral("Edit25"), QRect(920, 508, 100, 22));

  hiddenButton("Button25", "Дополнительные параметры", QRect(540, 720, 200, 25));
  hiddenButton("Button26", "Чтение и просмотр ОЗУ", QRect(750, 720, 200, 25));
  // With the other hidden buttons, where its caption has room.
  hiddenButton("Button7", "Разрешение вывода ОЗУ (PID)", QRect(960, 720, 200, 25));
  hiddenButton("Button27", "Отключение связи", QRect(540, 752, 200, 25));
  hiddenButton("Button28", "Возобновление связи", QRect(750, 752, 200, 25));
  hiddenButton("Button29", "Чтение состояния", QRect(960, 752, 200, 25));
}

}  // namespace calorix
