// What the controls of the service area do.
#include "panel/ServiceArea.h"

#include <QGuiApplication>
#include <QHash>

#include <memory>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "core/NumberText.h"
#include "core/Parse.h"
#include "link/Action.h"
#include "panel/PanelDecode.h"
#include "panel/PanelMirror.h"
#include "panel/ServiceDecode.h"
#include "ui/Events.h"
#include "ui/ReadIntegrity.h"

namespace calorix {

namespace {

ui::MouseButton* mouseButton(QWidget* form, const QString& name) {
  return form->findChild<ui::MouseButton*>(name);
}

void setCaptionColor(QPushButton* button, const QColor& color) {
  QPalette p = button->palette();
  p.setColor(QPalette::ButtonText, color);
  button->setPalette(p);
}

quint16 addressIn(QLineEdit* edit) {
  return quint16(ParseIntText(edit->text()));
}

// How a window button of the service area shows its window.
struct WindowButton {
  const char* name;
  bool onPress;  // on the mouse press; otherwise on a click
};
constexpr WindowButton kWindowButtons[] = {
    {"Button17", false}, {"Button18", false}, {"Button25", true}, {"Button26", true}};

}  // namespace

ServiceArea::ServiceArea(QWidget* form, WindowContext& context, PanelMirror& mirror)
    : QObject(form),
      form_(form),
      ctx_(context),
      link_(context.link),
      run_(context.run),
      mirror_(mirror) {
  build();
  link_.hooks.showControlStatus = [this](const QString& text) { Edit_Contrl->setText(text); };
  link_.hooks.showDWordHalves = [this](quint16 high, quint16 low) {
    dwordHighHalf_->setText(QString::number(high));
    dwordLowHalf_->setText(QString::number(low));
  };
  connectActions();
}

ServiceArea::~ServiceArea() {
  // The link outlives the window: its hooks must not point at our fields.
  link_.hooks.showControlStatus = nullptr;
  link_.hooks.showDWordHalves = nullptr;
}

bool ServiceArea::guarded(const std::function<void()>& action) {
  return runAction(link_, ctx_.messages, action);
}

bool ServiceArea::connectWindowButton(const QString& name, std::function<void()> open) {
  for (const WindowButton& w : kWindowButtons) {
    if (name != QLatin1String(w.name)) continue;
    ui::MouseButton* b = mouseButton(form_, name);
    if (w.onPress)
      connect(b, &ui::MouseButton::mousePressed, this, std::move(open));
    else
      connect(b, &QPushButton::clicked, this, std::move(open));
    return true;
  }
  return false;
}

void ServiceArea::connectActions() {
  auto button = [this](const char* name) { return mouseButton(form_, QString::fromLatin1(name)); };
  auto onPress = [&](const char* name, std::function<void()> action) {
    connect(button(name), &ui::MouseButton::mousePressed, this, std::move(action));
  };
  auto onRelease = [&](const char* name, std::function<void()> action) {
    connect(button(name), &ui::MouseButton::mouseReleased, this, std::move(action));
  };
  auto onClick = [&](const char* name, std::function<void()> action) {
    connect(button(name), &QPushButton::clicked, this, std::move(action));
  };
  auto exchange = [this](void (ServiceArea::*step)()) {
    return [this, step] { guarded([this, step] { (this->*step)(); }); };
  };
  // Reads and writes of controller memory wait until no run's frames share
  // the line.
  auto memory = [this](std::function<void()> step) {
    return [this, step] {
      guarded([this, step] {
        if (!ui::refusedDuringRun(ctx_)) step();
      });
    };
  };
  auto memoryStep = [&](void (ServiceArea::*step)()) {
    return memory([this, step] { (this->*step)(); });
  };

  onPress("Button29", [this] { guarded([this] { mirror_.RdInd_IndPanel(); }); });
  onClick("Button12", memoryStep(&ServiceArea::readCoefficients));
  onClick("Button16", memoryStep(&ServiceArea::writeCoefficients));
  onClick("Button13", memoryStep(&ServiceArea::readSetTemperature));
  onClick("Button14", memoryStep(&ServiceArea::writeSetTemperature));
  onClick("Button15", memoryStep(&ServiceArea::readThermocouple));
  onPress("Button24", memoryStep(&ServiceArea::readRamBytes));
  onClick("Button8", memory([this] { readTyped(1); }));
  onClick("Button9", memory([this] { readTyped(2); }));
  onClick("Button10", memory([this] { readTyped(4); }));
  onClick("Button19", exchange(&ServiceArea::rawByteWrite));
  onClick("Button20", exchange(&ServiceArea::rawByteRead));
  // Must work while the stream holds the link: no exchange, no guard.
  connect(heatOffButton_, &QPushButton::clicked, this, [this] { stopHeat(); });
  onRelease("Button6", [this] { pbKey(); });
  onRelease("Button7", exchange(&ServiceArea::ramOutKey));

  namespace key = ctl::plainKey;
  const std::pair<const char*, std::uint8_t> keys[] = {{"Button1", key::kIncrease},
                                                       {"Button2", key::kDecrease},
                                                       {"Button3", key::kStage},
                                                       {"Button4", key::kBack},
                                                       {"Button5", key::kTTN}};
  for (const auto& [name, code] : keys) {
    const std::uint8_t c = code;
    onRelease(name, [this, c] { guarded([this, c] { link_.SendKeyCode(c); }); });
  }

  onPress("Button27", [this] { mirror_.pauseLink(); });
  onPress("Button28", [this] { mirror_.resumeLink(); });
  // Button23 has no action.
}

// ---- coefficients and set temperature --------------------------------------

namespace {
// P, then D, then I, as the controller's tool reads and writes them.
struct Coefficient {
  ctl::Addr addr;
  std::uint8_t signBit;
};
constexpr Coefficient kPK{ctl::ram::kPK, ctl::sign::kPK};
constexpr Coefficient kDK{ctl::ram::kDK, ctl::sign::kDK};
constexpr Coefficient kIK{ctl::ram::kIK, ctl::sign::kIK};
}  // namespace

bool ServiceArea::readWhole() const {
  return link_.lastPlainAnswer() == Link::PlainAnswer::Whole;
}

// The fields show what the reads returned, whole or not; one that a read did
// not fill whole is marked, and a write refuses it until the operator types.
void ServiceArea::readCoefficients() {
  std::uint8_t signs = 0;
  link_.RdByte(ctl::ram::kSigns, signs);
  const bool signsRead = readWhole();
  for (const auto& [c, edit] :
       {std::pair{kPK, EditPK}, std::pair{kDK, EditDK}, std::pair{kIK, EditIK}}) {
    qint32 raw = 0;
    link_.RdDWord(c.addr, raw);
    edit->setText(panel::coefficientText(ctl::flagSet(signs, c.signBit), raw));
    ui::markRead(edit, signsRead && readWhole());
  }
}

bool ServiceArea::refuseUnread(std::initializer_list<QLineEdit*> edits) {
  QStringList names;
  for (const QLineEdit* edit : edits)
    if (ui::unread(edit)) names << edit->accessibleName();
  if (names.isEmpty()) return false;
  ctx_.messages.show(ui::unreadRefusedText(names));
  return true;
}

std::optional<qint32> ServiceArea::typedWord(QLineEdit* edit,
                                             std::optional<qint32> (*encode)(double)) {
  QString text = edit->text();  // the field keeps the operator's text
  double value = 0;
  if (!ParseEditNumber(text, value, ctx_.messages)) return std::nullopt;
  const std::optional<qint32> raw = encode(value);
  if (!raw) ctx_.messages.show(panel::outOfRangeText(edit->text()));
  return raw;
}

void ServiceArea::writeCoefficients() {
  if (refuseUnread({EditPK, EditDK, EditIK})) return;
  for (const auto& [c, edit] :
       {std::pair{kPK, EditPK}, std::pair{kDK, EditDK}, std::pair{kIK, EditIK}}) {
    const std::optional<qint32> raw = typedWord(edit, ctl::toFixed1616);
    if (!raw) return;
    link_.WrDWord(c.addr, *raw);
  }
}

void ServiceArea::readSetTemperature() {
  qint32 value = 0;
  link_.RdDWord(ctl::ram::kSetTemperature, value);
  EditZadTemp->setText(QString::number(value));
  ui::markRead(EditZadTemp, readWhole());
}

void ServiceArea::writeSetTemperature() {
  if (refuseUnread({EditZadTemp})) return;
  if (const std::optional<qint32> raw = typedWord(EditZadTemp, ctl::toWholeWord))
    link_.WrDWord(ctl::ram::kSetTemperature, *raw);
}

// ---- thermocouple channel -------------------------------------------------

void ServiceArea::readThermocouple() {
  namespace ram = ctl::ram;
  quint16 word = 0;
  qint32 dword = 0;
  link_.RdWord(ram::kRawVoltage, word);
  Edit3201U->setText(QString::number(word & ram::kRawVoltageMask));
  link_.RdWord(ram::kNormVoltage, word);
  Edit3201UKorr->setText(QString::number(word));
  link_.RdDWord(ram::kTempCorrected, dword);
  EditTT->setText(panel::temperature256Text(dword));
  // The room sensor's fraction byte and whole degrees as one word.
  link_.RdWord(ram::kRoomFraction, word);
  EditTD->setText(panel::sensorTemperatureText(ctl::highByte(word), ctl::lowByte(word)));
  link_.RdDWord(ram::kTemperature, dword);
  EditTTKorr->setText(panel::temperature256Text(dword));
}

// ---- memory reads -----------------------------------------------------------

void ServiceArea::readRamBytes() {
  const quint16 address = addressIn(EditAdrRdByte);
  const std::uint8_t count = std::uint8_t(ParseIntText(EditNumRdByte->text()));
  const Link::View read = link_.RdRam(address, count);
  EditByteRD->setText(panel::ramBytesText(EditByteRD->text(), read.data(), count));
}

void ServiceArea::readTyped(int width) {
  if (width == 1) {
    std::uint8_t v = 0;
    link_.RdByte(addressIn(byteWordAddress_), v);
    byteValue_->setText(QString::number(v));
  } else if (width == 2) {
    quint16 v = 0;
    link_.RdWord(addressIn(byteWordAddress_), v);
    wordValue_->setText(QString::number(v));
  } else {
    qint32 v = 0;
    link_.RdDWord(addressIn(dwordAddress_), v);
    dwordValue_->setText(QString::number(v));
  }
  showLastReadBytes();
}

void ServiceArea::showLastReadBytes() {
  for (int i = 0; i < 4; ++i) EditB[i]->setText(panel::readByteText(link_.LastReadBytes()[i]));
}

// ---- raw bytes ----------------------------------------------------------------

void ServiceArea::rawByteWrite() {
  link_.WrRawByte(std::uint8_t(ParseIntText(rawByteToSend_->text())));
}

void ServiceArea::rawByteRead() {
  const Link::View read = link_.RdRaw(1);
  rawByteReceived_->setText(QString::number(read.empty() ? 0 : read[0]));
}

// ---- keys of the service area ------------------------------------------------

void ServiceArea::ramOutKey() {
  if (stream_.switchRamOutput) stream_.switchRamOutput();
  Shape_Sp->setVisible(run_.RamOutEnabled == 1);
}

void ServiceArea::pbKey() {
  guarded([this] {
    if (run_.RamOutEnabled == 0)
      link_.SendKeyCode(ctl::plainKey::kPB);
    else if (stream_.run)
      stream_.run();  // it sends the key code itself and reads the frames
  });
}

void ServiceArea::stopHeat() {
  if (stream_.stop) stream_.stop();
  setCaptionColor(heatOffButton_, QColor(255, 0, 0));
  ui::letEventsRun();
}

// ---- the telemetry stream and the hidden controls -----------------------------

QLineEdit* ServiceArea::valueField(const QString& name) const {
  QLineEdit* edit = form_->findChild<QLineEdit*>(name);
  Q_ASSERT(edit);
  return edit;
}

StreamView ServiceArea::streamView() {
  StreamView view;
  view.setLampColor = [this](const QColor& color) { Shape_Sp->setColor(color); };
  view.setPbEnabled = [this](bool enabled) { pbButton_->setEnabled(enabled); };
  view.setMeasurementText = [this](const QString& text) { Edit_NumIzm->setText(text); };
  // The fifteen fields by name, found once: the stream sets them every frame.
  auto fields = std::make_shared<QHash<QString, QLineEdit*>>();
  auto find = [this, fields](const QString& name) {
    QLineEdit*& edit = (*fields)[name];
    if (!edit) edit = valueField(name);
    return edit;
  };
  view.setField = [find](const QString& name, const QString& text) { find(name)->setText(text); };
  view.restoreStopCaption = [this] {
    setCaptionColor(heatOffButton_, QGuiApplication::palette().color(QPalette::WindowText));
  };
  return view;
}

void ServiceArea::showHiddenControls() {
  for (QPushButton* b : hiddenAsDesigned_) b->show();
  Shape_Sp->setVisible(run_.RamOutEnabled == 1);
}

}  // namespace calorix
