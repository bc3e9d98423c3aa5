#include "panel/PanelMirror.h"

#include <algorithm>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "link/Action.h"
#include "ui/Events.h"

namespace calorix {

namespace {
using ui::letEventsRun;
void setTextColor(QLineEdit* edit, const QColor& color) {
  QPalette p = edit->palette();
  p.setColor(QPalette::Text, color);
  edit->setPalette(p);
}
}  // namespace

PanelMirror::PanelMirror(QWidget* form, WindowContext& context)
    : QObject(form), form_(form), ctx_(context), link_(context.link) {
  buildPanelArea();

  TimerMigInd = new QTimer(this);
  TimerMigInd->setObjectName(QStringLiteral("TimerMigInd"));
  TimerMigInd->setInterval(600);
  connect(TimerMigInd, &QTimer::timeout, this, [this] { TimerMigIndTick(); });
  Timer1 = new QTimer(this);
  Timer1->setObjectName(QStringLiteral("Timer1"));
  Timer1->setInterval(50);
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Tick(); });

  connectKeys();
}

QString PanelMirror::programDisplayText() const {
  return EditProg->text();
}
void PanelMirror::setLinkLightYellow() {
  ShapeTimer1->setColor(panel::paint::kLinkYellow);
}
void PanelMirror::setBarHeights(int height) {
  for (QLineEdit* bar : {EditNagrev, EditStabil, EditOstuv}) bar->resize(bar->width(), height);
}
void PanelMirror::startBlinking() {
  TimerMigInd->start(600);
}
void PanelMirror::setLineNote(const QString& text) {
  // The panel's controls have no tooltip of their own: hovering any of them
  // shows this one.
  Panel1->setToolTip(text);
  unlit_ = !text.isEmpty();
  for (QLineEdit* e : {EditProg, EditStup, EditParam}) setTextColor(e, litColor());
}
QColor PanelMirror::litColor() const {
  return unlit_ ? panel::paint::kSilver : panel::paint::kDisplayText;
}
void PanelMirror::resumeLink() {
  LinkPaused = 0;
  Timer1->start();
}

bool PanelMirror::connectWindowButton(const QString& name, std::function<void()> open) {
  for (ui::MouseButton* b : {Button30, Button32}) {
    if (b->objectName() != name) continue;
    connect(b, &ui::MouseButton::mousePressed, this, std::move(open));
    return true;
  }
  return false;
}

RunView PanelMirror::runView() {
  RunView view;
  view.showPanelFromMirror = [this](const std::uint8_t* ram) { showPanelFromMirror(ram); };
  view.setWorkCounterText = [this](const QString& text) { Edit37->setText(text); };
  view.setPanelColor = [this](const QColor& color) { setPanelColor(color); };
  view.showKeyPressed = [this] { keyPuskStop->showPressed(); };
  view.showWarning = [this](const QString& text) {
    warningLabel_->setText(text);
    warningLabel_->setAccessibleName(text);
    warningLabel_->setVisible(!text.isEmpty());
  };
  return view;
}

// ---- read-out ----------------------------------------------------------------

bool PanelMirror::guarded(const std::function<void()>& action) {
  return runAction(link_, ctx_.messages, action);
}

void PanelMirror::note(const QString& line) {
  link_.WriteNote(line);
}

void PanelMirror::RdInd_IndPanel() {
  using namespace ctl;
  note(QString::fromUtf8("начало пп RdInd_IndPanel"));
  note(QString::fromUtf8("чтение ОЗУ ст. адрес 60H 10H байт"));
  const Link::View read = link_.RdRam(ram::kIndication, ram::kIndicationReadBytes);
  if (link_.FlagLinkBreak() == 1) return;
  // Take the bytes before events run: the buffer belongs to the link.
  std::uint8_t indication[ram::kIndicationReadBytes];
  std::copy_n(read.begin(), ram::kIndicationReadBytes, indication);
  link_.clock().sleepMs(100);
  note(QString::fromUtf8("чтение ОЗУ индикации"));
  letEventsRun();
  paintIndication(panel::decodeIndication(indication, panel::BarVariant::ReadOut));

  const std::uint8_t blink = link_.RdRam(ram::kBlinkFlags, 1)[0];
  link_.clock().sleepMs(100);
  note(QString::fromUtf8("чтение ОЗУ ст. адрес 11H 1H байт FlagMigInd"));
  letEventsRun();
  BlinkFlags = blink;

  note(QString::fromUtf8("чтение ОЗУ ст. адрес 2H 1H байт"));
  const std::uint8_t state = link_.RdRam(ram::kFlags, 1)[0];
  const bool stateRead = link_.lastFramedAnswered();
  link_.clock().sleepMs(100);
  note(QString::fromUtf8("считывание вкл светодиода нагревателя"));
  letEventsRun();
  SvPuskStop->setColor(flagSet(state, flags::kHeaterOn) ? panel::paint::kHeaterOn
                                                        : panel::paint::kSilver);
  if (heaterSeen_ && stateRead) heaterSeen_(flagSet(state, flags::kHeaterOn));
  note(QString::fromUtf8("конец пп RdInd_IndPanel"));
}

void PanelMirror::paintIndication(const panel::Indication& ind) {
  EditProg->setText(ind.program);
  EditStup->setText(ind.stage);
  EditParam->setText(ind.parameter);
  panel::Circle* lamps[3] = {SvGrad, SvMin, SvSpeed};
  for (int i = 0; i < 3; ++i)
    lamps[i]->setColor(ind.lamps[i] ? panel::paint::kLampLit : panel::paint::kSilver);
  QLineEdit* bars[3] = {EditNagrev, EditStabil, EditOstuv};
  for (int i = 0; i < 3; ++i) {
    setTextColor(bars[i], ind.bars[i].color);
    if (ind.bars[i].text) bars[i]->setText(*ind.bars[i].text);
  }
}

void PanelMirror::showPanelFromMirror(const std::uint8_t* ramMirror) {
  const panel::MirroredPanel shown = panel::decodeMirroredPanel(ramMirror);
  paintIndication(shown.indication);
  BlinkFlags = shown.blinkFlags;
}

void PanelMirror::TimerMigIndTick() {
  TimerMigInd->stop();
  if (BlinkPhase == 1) {
    for (QLineEdit* e : {EditProg, EditStup, EditParam}) setTextColor(e, litColor());
    BlinkPhase = 0;
  } else {
    const panel::BlinkGroups off = panel::blinkGroups(BlinkFlags);
    auto colour = [this](bool dark) { return dark ? colors::kActiveBorder : litColor(); };
    setTextColor(EditProg, colour(off.program));
    setTextColor(EditStup, colour(off.stage));
    setTextColor(EditParam, colour(off.parameter));
    BlinkPhase = 1;
  }
  TimerMigInd->start(600);
}

// ---- link light ------------------------------------------------------------

void PanelMirror::Timer1Tick() {
  // The cycle re-reads the panel: it waits when another exchange runs.
  if (!guarded([this] { Timer1Step(); })) Timer1->start(kBusyRetryMs);
}

void PanelMirror::Timer1Step() {
  note(QString::fromUtf8("начало работы пп Timer1"));
  Timer1->stop();
  auto phase = [this](int period, const QColor& light, int next, const char* line) {
    ShapeTimer1->setColor(light);
    note(QString::fromUtf8(line));
    PollState = next;
    Timer1->start(period);
  };
  switch (PollState) {
    case 0:
      phase(periodGreen, panel::paint::kLinkGreen, 1, "вкл индикатора зеленый");
      break;
    case 1:
      if (LinkPaused == 1) {
        ShapeTimer1->setColor(panel::paint::kLinkYellow);  // the cycle rests here
      } else {
        phase(periodYellow, panel::paint::kLinkYellow, 2, "вкл индикатора желтый");
      }
      break;
    case 2:
      phase(periodRed, panel::paint::kLinkRed, 3, "вкл индикатора красный");
      break;
    case 3:
      phase(periodYellow, panel::paint::kLinkYellow, 4, "вкл индикатора желтый");
      break;
    case 4:
      ShapeTimer1->setColor(panel::paint::kLinkBlue);
      note(QString::fromUtf8("вкл индикатора синий"));
      letEventsRun();
      RdInd_IndPanel();
      PollState = 5;
      Timer1->start(periodAfterRead);
      break;
    default:
      phase(periodYellow, panel::paint::kLinkYellow, 0, "вкл индикатора желтый");
      break;
  }
  note(QString::fromUtf8("конец работы пп Timer1"));
}

}  // namespace calorix
