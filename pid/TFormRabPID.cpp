#include "pid/TFormRabPID.h"

#include <algorithm>
#include <array>

#include "core/Abort.h"
#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/NumberText.h"
#include "core/Parse.h"
#include "link/Action.h"
#include "pid/PidRun.h"
#include "pid/RunGap.h"
#include "ui/ReadIntegrity.h"

namespace calorix {

namespace {

QString outOfRangeText(const QString& text) {
  return QString::fromUtf8("Ошибка! Значение '%1' вне допустимого диапазона").arg(text);
}

}  // namespace

TFormRabPID::TFormRabPID(WindowContext& context, QWidget* parent) : QWidget(parent), ctx_(context) {
  setObjectName("TFormRabPID");
  setWindowTitle("FormRabPID");
  build();
  connectHandlers();
}

// Every button acts on a mouse press (any button); the keyboard does nothing.
void TFormRabPID::connectHandlers() {
  // The reads and the write of controller memory go under the exchange guard
  // and wait until no run's frames share the line.
  const auto onMemoryPress = [this](ui::MouseButton* button, void (TFormRabPID::*handler)()) {
    connect(button, &ui::MouseButton::mousePressed, this, [this, handler] {
      runAction(ctx_.link, ctx_.messages, [&] {
        if (!ui::refusedDuringRun(ctx_)) (this->*handler)();
      });
    });
  };
  onMemoryPress(Button4, &TFormRabPID::readStage);
  onMemoryPress(Button2, &TFormRabPID::readCoefficients);
  onMemoryPress(Button5, &TFormRabPID::readAmplifier);
  onMemoryPress(Button6, &TFormRabPID::writeAmplifier);
  // The run takes the exchange guard for its start itself; its stop request
  // exchanges nothing and must get through whatever holds the line.
  connect(Button1, &ui::MouseButton::mousePressed, this, [this] { startHeating(); });
  connect(Button3, &ui::MouseButton::mousePressed, this, [this] { requestStop(); });
  // "График" only shows a window: no exchange, so no guard.
  connect(ButtonGrafik, &ui::MouseButton::mousePressed, this, [this] {
    if (showTrend_) showTrend_();
  });
}

void TFormRabPID::showRows(const pid::FieldTexts& rows) {
  for (const pid::FieldText& row : rows)
    if (QLineEdit* field = fields_.value(row.name)) field->setText(row.text);
}

pid::FieldLookup TFormRabPID::fieldLookup() const {
  return [this](const QString& name) {
    const QLineEdit* field = fields_.value(name);
    return field ? field->text() : QString();
  };
}

// ---- reads and the amplifier write ----------------------------------------------

namespace {

// The reads one after the other, 50 ms apart; each read's bytes decoded into
// its fields.
template <std::size_t N>
pid::FieldTexts readAll(Link& link, const std::array<pid::FieldRead, N>& reads) {
  pid::FieldTexts rows;
  bool first = true;
  for (const pid::FieldRead& read : reads) {
    if (!first) link.clock().sleepMs(TFormRabPID::kPauseMs);
    first = false;
    const Link::View bytes = link.RdRam(read.addr, read.count);
    for (pid::FieldText& row : read.texts(bytes.data())) rows.push_back(std::move(row));
  }
  return rows;
}

}  // namespace

void TFormRabPID::readStage() {
  showRows(readAll(ctx_.link, pid::kStageReads));
}

void TFormRabPID::readCoefficients() {
  showRows(readAll(ctx_.link, pid::kCoefReads));
}

// The field shows what the read left, whole or not; one not read whole is
// marked, and the write refuses it until the operator types a value.
void TFormRabPID::readAmplifier() {
  ctx_.link.DrainPort();  // stray bytes would be taken for this read's answers
  showRows(readAll(ctx_.link, std::array{pid::kAmplifierRead}));
  ui::markRead(EditTecKUs, ctx_.link.lastFramedAnswered());
}

void TFormRabPID::writeAmplifier() {
  if (ui::unread(EditTecKUs)) {
    ctx_.messages.show(ui::unreadRefusedText({EditTecKUs->accessibleName()}));
    return;
  }
  const pid::AmplifierWrite write = pid::encodeAmplifierText(EditTecKUs->text());
  if (!write.bytes) {
    ctx_.messages.show(write.message);
    return;
  }
  ctx_.link.WrRam(ctl::ram::kAmplifierGain, *write.bytes);
}

// ---- the run buttons ---------------------------------------------------------

void TFormRabPID::runStarting() {
  prevErr_.negative = false;
  Button1->hide();
  Button1->setEnabled(false);
  // Both buttons share one place in the layout: "Выкл нагрева" stands where
  // "Вкл нагрева" was.
  Button3->show();
  Button3->setEnabled(true);
}

void TFormRabPID::showStopping() {
  Button3->hide();
  Button3->setEnabled(false);
  // Enabled again by the tick that carries out the stop.
  Button1->show();
  Button1->setEnabled(false);
}

void TFormRabPID::showIdle() {
  Button3->hide();
  Button3->setEnabled(false);
  Button1->show();
  Button1->setEnabled(true);
}

// A coefficient entry: no space removal, a lone "-" left to the conversion,
// EditTemp as the scratch field. A rejected text shows its message and
// gives 0; a text that does not convert throws and abandons the start.
double TFormRabPID::parseCoefficient(QLineEdit* field) {
  EditNumberRule rule;
  rule.removeSpaces = false;
  rule.rejectLoneMinus = false;
  rule.scratch = [this](const QString& text) { EditTemp->setText(text); };
  QString text = field->text();  // the field keeps the operator's text
  double value = 0;
  ParseEditNumber(text, value, ctx_.messages, rule);
  return value;
}

std::array<std::uint8_t, ctl::ram::kPidCoefBytes> TFormRabPID::ownCoefficients() {
  std::array<std::uint8_t, ctl::ram::kPidCoefBytes> bytes{};
  std::size_t at = 0;
  for (QLineEdit* field : {EditPK, EditIK, EditDK}) {
    const double value = parseCoefficient(field);
    // A value whose 16.16 word does not fit 32 bits would go out as a wholly
    // different coefficient: the start is abandoned instead.
    const auto word = pid::coefficientBytes(value);
    if (!word) throw AbortAction(outOfRangeText(field->text()));
    std::copy(word->begin(), word->end(), bytes.begin() + std::ptrdiff_t(at));
    at += word->size();
  }
  return bytes;
}

void TFormRabPID::startHeating() {
  if (!run_) return;
  PidRunStart how;
  how.ownCoefficients = CheckBox2->isChecked();
  how.log = CheckBox1->isChecked();
  how.noPropDecrease = CheckBox3->isChecked();
  how.coefficients = [this] { return ownCoefficients(); };
  run_->pressStart(how);
}

void TFormRabPID::requestStop() {
  if (run_) run_->requestStop();
}

// ---- frames and the run log ---------------------------------------------------

void TFormRabPID::showFrame(qint32 n) {
  EditNumIzm->setText(decimalText(n));
  ShowPidCoefs();
  ShowPidValues();
}

void TFormRabPID::showNoFrame(qint32 n) {
  EditNumIzm->setText(noFrameText(n));
}

void TFormRabPID::ShowPidCoefs() {
  showRows(pid::decodePidCoefs(pid::RamImage(ctx_.link.RamMirror())));
}

void TFormRabPID::ShowPidValues() {
  showRows(pid::decodePidValues(pid::RamImage(ctx_.link.RamMirror()), prevErr_));
}

QString TFormRabPID::runLogHeader1() const {
  return pid::runLogHeader1(fieldLookup());
}

QString TFormRabPID::pidDataLine(const QString& lineStamp) {
  return pid::pidDataLine(fieldLookup(), lineStamp, tempHistory_);
}

}  // namespace calorix
