#include "panel/MainPanel.h"

#include <QCoreApplication>

#include "link/Action.h"
#include "panel/MainPanelImpl.h"

namespace calorix {

namespace {
void letEventsRun() {
  QCoreApplication::processEvents();
}
void setTextColor(QLineEdit* edit, const QColor& color) {
  QPalette p = edit->palette();
  p.setColor(QPalette::Text, color);
  edit->setPalette(p);
}
}  // namespace

MainPanel::Impl::Impl(MainPanel& o, QWidget* f, WindowContext& context)
    : owner(o), form(f), ctx(context), link(context.link), run(context.run) {}

MainPanel::MainPanel(QWidget* form, WindowContext& context)
    : QObject(form), impl_(new Impl(*this, form, context)) {
  Impl& d = *impl_;
  d.buildPanelArea();
  d.buildServiceArea();

  d.TimerMigInd = new QTimer(this);
  d.TimerMigInd->setObjectName(QStringLiteral("TimerMigInd"));
  d.TimerMigInd->setInterval(600);
  connect(d.TimerMigInd, &QTimer::timeout, this, [&d] { d.TimerMigIndTick(); });
  d.Timer1 = new QTimer(this);
  d.Timer1->setObjectName(QStringLiteral("Timer1"));
  d.Timer1->setInterval(50);
  connect(d.Timer1, &QTimer::timeout, this, [&d] { d.Timer1Tick(); });

  PuskRunView view;
  view.showIndication = [&d](const panel::Indication& ind) { d.paintIndication(ind); };
  view.setBlinkFlags = [&d](std::uint8_t flags) { d.BlinkFlags = flags; };
  view.setWorkCounterText = [&d](const QString& text) { d.Edit37->setText(text); };
  view.panelColor = [&d] { return d.panelColor(); };
  view.setPanelColor = [&d](const QColor& color) { d.setPanelColor(color); };
  d.pusk = std::make_unique<PuskRun>(context, std::move(view));

  d.link.hooks.showControlStatus = [&d](const QString& text) { d.Edit_Contrl->setText(text); };
  d.link.hooks.showDWordHalves = [&d](quint16 high, quint16 low) {
    d.Edit1->setText(QString::number(high));
    d.Edit2->setText(QString::number(low));
  };

  d.connectKeys();
  d.connectService();
}

MainPanel::~MainPanel() {
  // The link outlives the window: its hooks must not point at our fields.
  impl_->link.hooks.showControlStatus = nullptr;
  impl_->link.hooks.showDWordHalves = nullptr;
  delete impl_;
}

void MainPanel::setWindows(const SecondaryWindows& windows) {
  impl_->windows = windows;
}
void MainPanel::setTelemetryStream(std::function<void()> stream) {
  impl_->telemetryStream = std::move(stream);
}
void MainPanel::RdInd_IndPanel() {
  impl_->RdInd_IndPanel();
}
QString MainPanel::programDisplayText() const {
  return impl_->EditProg->text();
}
void MainPanel::setLinkLightYellow() {
  impl_->ShapeTimer1->setColor(panel::paint::kLinkYellow);
}
void MainPanel::setBarHeights(int height) {
  for (QLineEdit* bar : {impl_->EditNagrev, impl_->EditStabil, impl_->EditOstuv})
    bar->resize(bar->width(), height);
}
void MainPanel::startBlinking() {
  impl_->TimerMigInd->start(600);
}
QPushButton* MainPanel::button33() const {
  return impl_->Button33;
}
QPushButton* MainPanel::button32() const {
  return impl_->Button32;
}
QPushButton* MainPanel::button30() const {
  return impl_->Button30;
}
PuskRun& MainPanel::puskRun() {
  return *impl_->pusk;
}
void MainPanel::TimerMigIndTick() {
  impl_->TimerMigIndTick();
}
void MainPanel::Timer1Tick() {
  impl_->Timer1Tick();
}
QTimer* MainPanel::timerMigInd() const {
  return impl_->TimerMigInd;
}
QTimer* MainPanel::timer1() const {
  return impl_->Timer1;
}
int MainPanel::pollState() const {
  return impl_->PollState;
}
std::uint8_t MainPanel::blinkFlags() const {
  return impl_->BlinkFlags;
}

// ---- read-out ----------------------------------------------------------------

bool MainPanel::Impl::guarded(const std::function<void()>& action) {
  return runAction(link, ctx.messages, action);
}

void MainPanel::Impl::note(const QString& line) {
  link.WriteNote(line);
}

void MainPanel::Impl::RdInd_IndPanel() {
  note(QString::fromUtf8("начало пп RdInd_IndPanel"));
  note(QString::fromUtf8("чтение ОЗУ ст. адрес 60H 10H байт"));
  link.RdRam(0x0060, 16);
  if (link.FlagLinkBreak() == 1) return;
  // Take the bytes before events run: the buffer belongs to the link.
  std::uint8_t indication[16];
  std::copy_n(link.ReadBuf().begin(), 16, indication);
  link.clock().sleepMs(100);
  note(QString::fromUtf8("чтение ОЗУ индикации"));
  letEventsRun();
  paintIndication(panel::decodeIndication(indication, panel::BarVariant::ReadOut));

  link.RdRam(0x000B, 1);
  const std::uint8_t blink = link.ReadBuf()[0];
  link.clock().sleepMs(100);
  note(QString::fromUtf8("чтение ОЗУ ст. адрес 11H 1H байт FlagMigInd"));
  letEventsRun();
  BlinkFlags = blink;

  note(QString::fromUtf8("чтение ОЗУ ст. адрес 2H 1H байт"));
  link.RdRam(0x0002, 1);
  const std::uint8_t state = link.ReadBuf()[0];
  link.clock().sleepMs(100);
  note(QString::fromUtf8("считывание вкл светодиода нагревателя"));
  letEventsRun();
  SvPuskStop->setColor(panel::heaterOn(state) ? panel::paint::kHeaterOn : panel::paint::kSilver);
  note(QString::fromUtf8("конец пп RdInd_IndPanel"));
}

void MainPanel::Impl::paintIndication(const panel::Indication& ind) {
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

void MainPanel::Impl::TimerMigIndTick() {
  TimerMigInd->stop();
  if (BlinkPhase == 1) {
    for (QLineEdit* e : {EditProg, EditStup, EditParam})
      setTextColor(e, panel::paint::kDisplayText);
    BlinkPhase = 0;
  } else {
    const panel::BlinkGroups off = panel::blinkGroups(BlinkFlags);
    auto colour = [](bool dark) {
      return dark ? colors::kActiveBorder : panel::paint::kDisplayText;
    };
    setTextColor(EditProg, colour(off.program));
    setTextColor(EditStup, colour(off.stage));
    setTextColor(EditParam, colour(off.parameter));
    BlinkPhase = 1;
  }
  TimerMigInd->start(600);
}

// ---- link light ------------------------------------------------------------

void MainPanel::Impl::Timer1Tick() {
  // The cycle re-reads the panel: it waits when another exchange runs.
  if (!guarded([this] { Timer1Step(); })) Timer1->start(PuskRun::kBusyRetryMs);
}

void MainPanel::Impl::Timer1Step() {
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

// ---- keys ------------------------------------------------------------------

void MainPanel::Impl::connectKeys() {
  struct KeyCode {
    panel::DrawnKey* key;
    std::uint8_t code;
  };
  for (KeyCode k : {KeyCode{keyEncoder, 0x80}, KeyCode{keyProg, 0x02}, KeyCode{keyStup, 0x04},
                    KeyCode{keyParam, 0x08}}) {
    QObject::connect(k.key->top(), &panel::Circle::mousePressed, &owner,
                     [this, k] { pressKey(k.key, k.code); });
    QObject::connect(k.key->top(), &panel::Circle::mouseReleased, &owner,
                     [this, k] { releaseKey(k.key); });
  }
  QObject::connect(Button21, &panel::MouseButton::mousePressed, &owner,
                   [this] { pressArrow(0x20); });
  QObject::connect(Button22, &panel::MouseButton::mousePressed, &owner,
                   [this] { pressArrow(0x40); });
  for (panel::MouseButton* b : {Button21, Button22})
    QObject::connect(b, &panel::MouseButton::mouseReleased, &owner, [this] { releaseArrow(); });
  QObject::connect(keyPuskStop->top(), &panel::Circle::mousePressed, &owner,
                   [this] { pressPuskStop(); });
  QObject::connect(keyPuskStop->top(), &panel::Circle::mouseReleased, &owner,
                   [this] { keyPuskStop->showAtRest(); });
}

void MainPanel::Impl::pressKey(panel::DrawnKey* key, std::uint8_t code) {
  guarded([&] {
    key->showPressed();
    if (code == 0x04) note(QString::fromUtf8("посылка кода вкл ступени"));
    link.SendPanelKey(code);
    if (code == 0x04) note(QString::fromUtf8("конец посылки кода вкл ступени"));
  });
}

void MainPanel::Impl::releaseKey(panel::DrawnKey* key) {
  key->showAtRest();
  guarded([this] { RdInd_IndPanel(); });
}

void MainPanel::Impl::pressArrow(std::uint8_t code) {
  guarded([&] {
    link.SendPanelKey(code);
    link.SendPanelKey(0x00);
  });
}

void MainPanel::Impl::releaseArrow() {
  guarded([this] {
    link.clock().sleepMs(100);
    RdInd_IndPanel();
  });
}

void MainPanel::Impl::setPanelColor(const QColor& color) {
  QPalette p = Panel1->palette();
  p.setColor(QPalette::Window, color);
  Panel1->setPalette(p);
}

QColor MainPanel::Impl::panelColor() const {
  return Panel1->palette().color(QPalette::Window);
}

void MainPanel::Impl::pressPuskStop() {
  guarded([this] {
    if (run.PuskFlag == 1)
      requestStop();
    else
      startRun();
  });
}

void MainPanel::Impl::requestStop() {
  pusk->TimerForReadForPolz().stop();
  setPanelColor(colors::kStop);
  keyPuskStop->showPressed();
  letEventsRun();
  run.PuskFlag = 0;
  run.PidStopRequest = 1;
  link.clock().sleepMs(50);
}

void MainPanel::Impl::startRun() {
  run.WorkCounter = 0;
  run.WorkLineDue = 1;
  setPanelColor(colors::kPusk);
  run.PuskFlag = 1;
  try {
    link.OpenDataLog();
  } catch (...) {
    // Without a work log nothing has been started: the key stays a Пуск key.
    run.PuskFlag = 0;
    run.WorkLineDue = 0;
    setPanelColor(colors::kActiveBorder);
    throw;
  }
  link.SetRegBits(0x05, 0x04, 0xFF);
  link.SendPanelKey(0x01);
  keyPuskStop->showPressed();
  letEventsRun();
  run.PidRunActive = 1;
  run.PidStopRequest = 0;
  link.clock().sleepMs(50);
  link.RdPidFrame();
  Edit37->setText(QString::number(run.WorkCounter));
  try {
    link.WriteDataLog(QString::fromUtf8("Данные работы "));
    link.WriteDataLog(QString::fromUtf8(
        "  1 номер ;  2 время   ;  3 программа  ;  4 ступень  ;  5 температура  ;"));
    pusk->WriteRunLine();
  } catch (const AbortAction& failed) {
    // The controller runs already: the timer must still come, or the run
    // could never be stopped from here.
    ctx.messages.show(failed.message());
  }
  pusk->arm();
}

}  // namespace calorix
