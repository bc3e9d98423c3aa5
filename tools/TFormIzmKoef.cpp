#include "tools/TFormIzmKoef.h"

#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/Parse.h"
#include "link/Action.h"
#include "tools/TuneWindow.h"
#include "ui/Designed.h"
#include "ui/Events.h"
#include "ui/ReadIntegrity.h"

namespace calorix {

namespace {

const char* const kRowLetters[4] = {"A", "B", "C", "D"};

// Every coefficient is one 32-bit word; the sign flags of group 4 one 16-bit word.
constexpr int kCoefWordBytes = 4;
constexpr int kSignFlagBytes = 2;

// A field that starts with its own name as its text, as designed; named by
// its letter's label.
QLineEdit* coefEdit(QWidget* parent, const CoefField& field) {
  auto* edit = designed(new QLineEdit(QString::fromLatin1(field.name), parent), field.name);
  edit->setMinimumWidth(110);
  return edit;
}

QProgressBar* groupBar(QWidget* parent, int number, const QString& label) {
  auto* bar = designed(new QProgressBar(parent), QString("ProgressBar%1").arg(number), label);
  bar->setRange(0, 100);
  bar->setValue(0);
  bar->setTextVisible(false);
  return bar;
}

QPushButton* groupButton(QWidget* parent, int number, const char* caption) {
  return designed(new QPushButton(QString::fromUtf8(caption), parent),
                  QString("Button%1").arg(number));
}

QLabel* formula(QWidget* parent, const char* text) {
  return new QLabel(QString::fromUtf8(text), parent);
}

}  // namespace

TFormIzmKoef::TFormIzmKoef(WindowContext& context, QWidget* parent)
    : QWidget(parent), ctx_(context) {
  setObjectName("TFormIzmKoef");
  setWindowTitle("FormIzmKoef");
  auto* layout = new QVBoxLayout(this);

  // Groups 1..3: a formula, one row per coefficient, read / write buttons and
  // a progress bar.
  struct Simple {
    const char* caption;
    const char* formulaText;
    std::span<const CoefField> fields;
    std::span<QLineEdit*> edits;
    const char* const* letters;
    int firstButton;
  };
  static const char* const kGainLetter[1] = {"К"};
  const Simple groups[3] = {
      {"Коэффициенты изменения характеристики усилителя термопары", "Uвых = A*Uвх + B",
       kAmplifierFields, amplifier_, kRowLetters, 1},
      {"Коэффициент усиления усилителя термопары", "К = Uвых / Uвх",
       std::span<const CoefField>(&kGainField, 1), gain_, kGainLetter, 3},
      {"Коэффициенты преобразования напряжения термопары в температуру",
       "T = A*U^3 + B*U^2 + C*U + D", kThermoFields, thermo_, kRowLetters, 5},
  };
  for (int g = 0; g < 3; ++g) {
    const Simple& group = groups[g];
    auto* box = new QGroupBox(QString::fromUtf8(group.caption), this);
    auto* grid = new QGridLayout(box);
    grid->addWidget(formula(box, group.formulaText), 0, 0, 1, 4);
    for (std::size_t i = 0; i < group.fields.size(); ++i) {
      const QString letter = QString::fromUtf8(group.letters[i]);
      auto* label = new QLabel(letter, box);
      group.edits[i] = labelled(label, coefEdit(box, group.fields[i]));
      grid->addWidget(label, int(i) + 1, 0);
      grid->addWidget(group.edits[i], int(i) + 1, 1);
    }
    auto* read = groupButton(box, group.firstButton, "Чтение");
    auto* write = groupButton(box, group.firstButton + 1, "Запись");
    bars_[g] = groupBar(box, g + 1, QString::fromUtf8(group.caption));
    grid->addWidget(read, 1, 2);
    grid->addWidget(write, 2, 2);
    grid->addWidget(bars_[g], 1, 3);
    layout->addWidget(box);
    const std::span<const CoefField> fields = group.fields;
    const std::span<QLineEdit* const> edits = group.edits;
    QProgressBar* bar = bars_[g];
    connect(read, &QPushButton::clicked, this, [this, fields, edits, bar] {
      runAction(ctx_.link, ctx_.messages, [&] { readGroup(fields, edits, bar); });
    });
    connect(write, &QPushButton::clicked, this, [this, fields, edits] {
      runAction(ctx_.link, ctx_.messages, [&] { writeGroup(fields, edits); });
    });
  }

  // Group 4: three columns of cubics, one sign-flag word for all twelve.
  auto* box = new QGroupBox(
      QString::fromUtf8("Коэффициенты расчета коэффициентов PIDа от температуры"), this);
  auto* grid = new QGridLayout(box);
  const char* const columns[3] = {"Пропорциональный", "Дифференциальный", "Интегральный"};
  const char* const formulas[3] = {"KP = A*T^3 + B*T^2 + C*T + D", "KD = A*T^3 + B*T^2 + C*T + D",
                                   "KI = A*T^3 + B*T^2 + C*T + D"};
  for (int column = 0; column < 3; ++column) {
    grid->addWidget(new QLabel(QString::fromUtf8(columns[column]), box), 0, 2 * column, 1, 2);
    grid->addWidget(formula(box, formulas[column]), 1, 2 * column, 1, 2);
    for (int row = 0; row < 4; ++row) {
      const int i = 4 * column + row;
      const QString letter = QString::fromUtf8(kRowLetters[row]);
      auto* label = new QLabel(letter, box);
      pid_[i] = labelled(label, coefEdit(box, kPidFields[i]));
      names_.insert(pid_[i], QString::fromUtf8(columns[column]) + u' ' + letter);
      grid->addWidget(label, row + 2, 2 * column);
      grid->addWidget(pid_[i], row + 2, 2 * column + 1);
    }
  }
  auto* read = groupButton(box, 7, "Чтение");
  auto* write = groupButton(box, 8, "Запись");
  bars_[3] = groupBar(box, 4, box->title());
  grid->addWidget(read, 6, 0, 1, 2);
  grid->addWidget(write, 6, 2, 1, 2);
  grid->addWidget(bars_[3], 6, 4, 1, 2);
  layout->addWidget(box);
  connect(read, &QPushButton::clicked, this,
          [this] { runAction(ctx_.link, ctx_.messages, [&] { readPidGroup(); }); });
  connect(write, &QPushButton::clicked, this,
          [this] { runAction(ctx_.link, ctx_.messages, [&] { writePidGroup(); }); });

  // The tuning assistant, below the designed groups: it reads logs and fills
  // the fields of group 4 on request; it never exchanges with the controller.
  auto* tune =
      designed(new QPushButton(QString::fromUtf8("Подбор по журналам..."), this), "ButtonPodbor");
  layout->addWidget(tune, 0, Qt::AlignLeft);
  chooseLogs_ = [](QWidget* owner) {
    return QFileDialog::getOpenFileNames(owner, QString::fromUtf8("Журналы данных для подбора"),
                                         QString(),
                                         QString::fromUtf8("Журналы (*.txt);;Все файлы (*)"));
  };
  connect(tune, &QPushButton::clicked, this, [this] {
    const QStringList paths = chooseLogs_(this);
    if (paths.isEmpty()) return;
    if (!tune_) tune_ = new TuneWindow(pid_, this);
    tune_->show();
    tune_->raise();
    tune_->tuneLogs(paths);
  });
}

qint32 TFormIzmKoef::blockRaw() const {
  return ctl::le32s(ctx_.link.BlockBuf().data());
}

QString TFormIzmKoef::nameOf(const QLineEdit* edit) const {
  return names_.value(edit, edit->accessibleName());
}

void TFormIzmKoef::showNotRead(QLineEdit* edit, QStringList& notRead) {
  edit->clear();
  ui::markRead(edit, false);
  notRead << nameOf(edit);
}

bool TFormIzmKoef::refuseUnread(std::span<QLineEdit* const> edits) {
  QStringList names;
  for (const QLineEdit* edit : edits)
    if (ui::unread(edit)) names << nameOf(edit);
  if (names.isEmpty()) return false;
  ctx_.messages.show(ui::unreadRefusedText(names));
  return true;
}

bool TFormIzmKoef::readFields(std::span<const CoefField> fields, std::span<QLineEdit* const> edits,
                              QProgressBar* bar, QStringList& notRead) {
  Link& link = ctx_.link;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    ui::letNonInputEventsRun();
    link.RdBlock(kCoefWordBytes, fields[i].address);
    bar->setValue(int(i) + 1);
    const Link::PlainAnswer answer = link.lastPlainAnswer();
    if (answer == Link::PlainAnswer::Whole) {
      // A К of raw 0 ends the read here with the division message; the field
      // keeps its text and the bar its position.
      edits[i]->setText(coefText(fields[i], blockRaw()));
      ui::markRead(edits[i], true);
      continue;
    }
    // The block buffer holds another word's bytes, or older ones.
    showNotRead(edits[i], notRead);
    if (answer == Link::PlainAnswer::None) {
      // Nobody answers: the other words would only wait out their time-outs.
      for (std::size_t rest = i + 1; rest < fields.size(); ++rest)
        showNotRead(edits[rest], notRead);
      return false;
    }
  }
  return true;
}

void TFormIzmKoef::readGroup(std::span<const CoefField> fields, std::span<QLineEdit* const> edits,
                             QProgressBar* bar) {
  if (ui::refusedDuringRun(ctx_)) return;
  Link& link = ctx_.link;
  link.SyncCmd();
  bar->setRange(0, int(fields.size()));
  bar->setValue(0);
  QStringList notRead;
  const bool answered = readFields(fields, edits, bar, notRead);
  if (answered) link.SyncCmd();
  bar->setValue(0);
  if (!notRead.isEmpty()) ctx_.messages.show(ui::fieldsNotReadText(notRead, !answered));
}

TFormIzmKoef::Written TFormIzmKoef::writeFields(std::span<const CoefField> fields,
                                                std::span<QLineEdit* const> edits,
                                                QProgressBar* bar, quint16* signFlags) {
  Link& link = ctx_.link;
  Written written;
  for (std::size_t i = 0; i < fields.size(); ++i) {
    ui::letNonInputEventsRun();
    QString text = edits[i]->text();  // the field keeps the operator's text
    double value = 0;
    if (!ParseEditNumber(text, value, ctx_.messages)) {
      written.refused = true;
      return written;
    }
    const CoefRaw encoded = coefRawForWrite(fields[i], value);
    if (!encoded.raw) {
      // Cut to 32 bits it would read back as a different number: refused
      // like a text that is no number.
      ctx_.messages.show(encoded.error);
      written.refused = true;
      return written;
    }
    std::uint8_t bytes[kCoefWordBytes];
    ctl::putLe32(bytes, quint32(*encoded.raw));
    link.WrBlock(fields[i].address, bytes);
    if (bar) bar->setValue(int(i) + 1);
    if (signFlags && value < 0) *signFlags = withPidSign(*signFlags, int(i));
    if (written.confirm(link.lastPlainAnswer(), nameOf(edits[i]))) return written;
  }
  return written;
}

bool TFormIzmKoef::Written::confirm(Link::PlainAnswer answer, const QString& name) {
  if (answer != Link::PlainAnswer::Whole) unconfirmed << name;
  stopped = answer == Link::PlainAnswer::None;
  return stopped;
}

void TFormIzmKoef::report(const Written& written) {
  if (!written.unconfirmed.isEmpty())
    ctx_.messages.show(ui::fieldsNotConfirmedText(written.unconfirmed, written.stopped));
}

void TFormIzmKoef::writeGroup(std::span<const CoefField> fields,
                              std::span<QLineEdit* const> edits) {
  if (ui::refusedDuringRun(ctx_) || refuseUnread(edits)) return;
  ctx_.link.SyncCmd();
  const Written written = writeFields(fields, edits, nullptr, nullptr);
  if (!written.stopped) ctx_.link.SyncCmd();
  report(written);
}

void TFormIzmKoef::readPidGroup() {
  if (ui::refusedDuringRun(ctx_)) return;
  Link& link = ctx_.link;
  QProgressBar* bar = bars_[3];
  link.SyncCmd();
  bar->setRange(0, int(kPidFields.size()) + 1);
  bar->setValue(0);
  QStringList notRead;
  bool answered = readFields(kPidFields, pid_, bar, notRead);
  if (answered) {
    ui::letNonInputEventsRun();
    link.RdBlock(kSignFlagBytes, ctl::block::kPidSignFlags);
    bar->setValue(int(kPidFields.size()) + 1);
    const Link::PlainAnswer answer = link.lastPlainAnswer();
    if (answer == Link::PlainAnswer::Whole) {
      const quint16 flags = ctl::le16(link.BlockBuf().data());
      for (std::size_t i = 0; i < kPidFields.size(); ++i) {
        if (!pidSignSet(flags, int(i)) || ui::unread(pid_[i])) continue;
        pid_[i]->setText("-" + pid_[i]->text());
      }
    } else {
      // Without the signs no magnitude shown is the controller's value.
      notRead.clear();
      for (QLineEdit* edit : pid_) showNotRead(edit, notRead);
      answered = answer != Link::PlainAnswer::None;
    }
  }
  if (answered) link.SyncCmd();
  bar->setValue(0);
  if (!notRead.isEmpty()) ctx_.messages.show(ui::fieldsNotReadText(notRead, !answered));
}

void TFormIzmKoef::writePidGroup() {
  if (ui::refusedDuringRun(ctx_) || refuseUnread(pid_)) return;
  Link& link = ctx_.link;
  QProgressBar* bar = bars_[3];
  link.SyncCmd();
  bar->setRange(0, int(kPidFields.size()) + 1);
  bar->setValue(0);
  quint16 flags = 0;
  Written written = writeFields(kPidFields, pid_, bar, &flags);
  if (!written.refused && !written.stopped) {
    std::uint8_t bytes[kSignFlagBytes];
    ctl::putLe16(bytes, flags);
    link.WrBlock(ctl::block::kPidSignFlags, bytes);
    bar->setValue(int(kPidFields.size()) + 1);
    written.confirm(link.lastPlainAnswer(), QString::fromUtf8("знаки коэффициентов"));
  }
  if (!written.stopped) link.SyncCmd();
  bar->setValue(0);
  report(written);
}

}  // namespace calorix
