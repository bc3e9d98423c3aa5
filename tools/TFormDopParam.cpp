#include "tools/TFormDopParam.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/FieldRange.h"
#include "core/Parse.h"
#include "link/Action.h"
#include "ui/Designed.h"
#include "ui/MouseButton.h"
#include "ui/ReadIntegrity.h"

namespace calorix {

namespace {

using ui::pressButton;

// Each parameter is one 16-bit word.
constexpr int kWordBytes = 2;

struct Parameter {
  const char* field;
  ctl::Addr address;
  const char* unit;
  const char* button;
  const char* caption;
  const char* name;  // in messages
};

// In the order "Чтение всех параметров" and "Запись всех параметров" take them.
const Parameter kParameters[3] = {
    {"EditZadTempEtap", ctl::ram::kSetTemperature, "°С", "Button1", "Чтение зад.температуры",
     "заданная температура"},
    {"EditZadTimeStabEtap", ctl::ram::kStabTime, "Мин.", "Button4", "Чтение времени стабилизации",
     "время стабилизации"},
    {"EditZadSpeedEtap", ctl::ram::kSetSpeed, "°С/мин.", "Button5", "Чтение скорости нагрева",
     "скорость нагрева"},
};

QString nameOf(int index) {
  return QString::fromUtf8(kParameters[index].name);
}

}  // namespace

TFormDopParam::TFormDopParam(WindowContext& context, QWidget* parent)
    : QWidget(parent), ctx_(context) {
  setObjectName("TFormDopParam");
  setWindowTitle("FormDopParam");

  auto* box = new QGroupBox(QString::fromUtf8("Параметры на текущем этапе"), this);
  auto* grid = new QGridLayout(box);
  for (int i = 0; i < 3; ++i) {
    const Parameter& p = kParameters[i];
    const QString caption = QString::fromUtf8(p.caption);
    // The fields start with their own names, which are no numbers.
    fields_[i] = designed(new QLineEdit(QString::fromLatin1(p.field), box), p.field, caption);
    auto* unit = new QLabel(QString::fromUtf8(p.unit), box);
    auto* read = pressButton(caption, p.button, box);
    grid->addWidget(read, i, 0);
    grid->addWidget(fields_[i], i, 1);
    grid->addWidget(unit, i, 2);
    connect(read, &ui::MouseButton::mousePressed, this,
            [this, i] { runAction(ctx_.link, ctx_.messages, [&] { readParameters(i, i + 1); }); });
  }
  auto* readAll = pressButton(QString::fromUtf8("Чтение всех параметров"), "Button6", box);
  auto* writeAllButton = pressButton(QString::fromUtf8("Запись всех параметров"), "Button7", box);
  grid->addWidget(readAll, 3, 0);
  grid->addWidget(writeAllButton, 3, 1, 1, 2);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(box);

  connect(readAll, &ui::MouseButton::mousePressed, this,
          [this] { runAction(ctx_.link, ctx_.messages, [&] { readParameters(0, 3); }); });
  connect(writeAllButton, &ui::MouseButton::mousePressed, this,
          [this] { runAction(ctx_.link, ctx_.messages, [&] { writeAll(); }); });
}

void TFormDopParam::readParameters(int from, int to) {
  if (ui::refusedDuringRun(ctx_)) return;
  Link& link = ctx_.link;
  // Bytes a failed exchange left on their way would be taken for the
  // answers of this read.
  link.DrainPort();
  QStringList notRead;
  for (int i = from; i < to; ++i) {
    const Link::View read = link.RdRam(kParameters[i].address, kWordBytes);
    if (link.lastFramedAnswered()) {
      fields_[i]->setText(QString::number(ctl::le16(read.data())));
      ui::markRead(fields_[i], true);
      continue;
    }
    // A missing answer shifts the ones after it: the rest is not read either.
    for (int rest = i; rest < to; ++rest) {
      fields_[rest]->clear();
      ui::markRead(fields_[rest], false);
      notRead << nameOf(rest);
    }
    break;
  }
  if (!notRead.isEmpty()) ctx_.messages.show(ui::fieldsNotReadText(notRead, false));
}

void TFormDopParam::writeAll() {
  if (ui::refusedDuringRun(ctx_)) return;
  QStringList unread;
  for (int i = 0; i < 3; ++i)
    if (ui::unread(fields_[i])) unread << nameOf(i);
  if (!unread.isEmpty()) {
    ctx_.messages.show(ui::unreadRefusedText(unread));
    return;
  }
  Link& link = ctx_.link;
  for (int i = 0; i < 3; ++i) {
    const qint32 value = ParseIntText(fields_[i]->text());
    requireInRange(value, kWordRange);
    std::uint8_t bytes[kWordBytes];
    ctl::putLe16(bytes, std::uint16_t(value));
    link.WrRam(kParameters[i].address, bytes);
    if (!link.lastFramedAnswered()) {
      // The line went wrong under this write: the others are not sent.
      ctx_.messages.show(ui::fieldsNotConfirmedText({nameOf(i)}, i + 1 < 3));
      return;
    }
  }
}

}  // namespace calorix
