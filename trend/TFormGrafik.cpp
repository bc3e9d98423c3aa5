#include "trend/TFormGrafik.h"

#include <QDateTime>
#include <QStringList>

#include <algorithm>
#include <cmath>

#include "core/NumberText.h"

namespace calorix {

namespace {

constexpr qint64 kMinuteMs = 60 * 1000;
// Zooming in stops at a few seconds across the plot.
constexpr double kMinSpanMs = 2000;

QString valueText(double v) {
  return generalText(std::round(v * 100) / 100);
}

}  // namespace

TFormGrafik::TFormGrafik(WindowContext& context, GrafikHooks hooks, QWidget* parent)
    : QWidget(parent), ctx_(context), hooks_(std::move(hooks)) {
  setObjectName(QStringLiteral("TFormGrafik"));
  setWindowTitle(QStringLiteral("Grafik"));
  live_.title = QString::fromUtf8("Текущая работа");
  build();

  redrawTimer_.setSingleShot(true);
  connect(&redrawTimer_, &QTimer::timeout, this, [this] { redraw(); });
  sinceRedraw_.start();

  connect(CheckBoxSledit, &QCheckBox::toggled, this, [this](bool on) { setFollow(on); });
  connect(SpinMinutes, &QSpinBox::valueChanged, this, [this] {
    if (range_ == Range::Follow) scheduleRedraw();
  });
  connect(ButtonAll, &QPushButton::clicked, this, [this] { showAll(); });
  connect(ButtonPng, &QPushButton::clicked, this, [this] { exportPng(); });
  connect(ButtonSvg, &QPushButton::clicked, this, [this] { exportSvg(); });
  connect(ButtonCsv, &QPushButton::clicked, this, [this] { exportCsv(); });
  connect(ButtonOpenLog, &QPushButton::clicked, this, [this] { openLog(); });
  connect(ButtonLive, &QPushButton::clicked, this, [this] { showLive(); });
  connect(ButtonPlan, &QPushButton::clicked, this, [this] { takePlan(); });
  connect(ButtonNoPlan, &QPushButton::clicked, this, [this] { dropPlan(); });
  connect(SpinMargin, &QDoubleSpinBox::valueChanged, this, [this] { scheduleRedraw(); });
  for (QCheckBox* box : curveBoxes_)
    connect(box, &QCheckBox::toggled, this, [this] { scheduleRedraw(); });

  connect(view_, &TrendChartView::zoomRequested, this, &TFormGrafik::zoomAt);
  connect(view_, &TrendChartView::panRequested, this, &TFormGrafik::panBy);
  connect(view_, &TrendChartView::rangeRequested, this, &TFormGrafik::setFixedRange);
  connect(view_, &TrendChartView::showAllRequested, this, &TFormGrafik::showAll);
  connect(view_, &TrendChartView::hovered, this, &TFormGrafik::showReadout);
  connect(view_, &TrendChartView::hoverLeft, this, [this] { chart_->setCursorTime(std::nullopt); });
  updateInfo();
}

void TFormGrafik::frame(const plot::Sample& sample) {
  // Every producer counts its frames in WorkCounter from 1 at the start of
  // its run or stream: the first one starts a new trend (a line from the
  // last run across the idle time between would show what never was; the
  // last run stays in its data log) and is where a plan starts.
  if (ctx_.run.WorkCounter == 1) {
    live_.store.clear();
    live_.runStart.reset();
    if (sample.has(plot::Quantity::Temperature))
      live_.runStart = {sample.timeMs, sample.value(plot::Quantity::Temperature)};
  }
  live_.store.append(sample);
  if (shown_ == &live_) scheduleRedraw();
}

void TFormGrafik::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  redraw();
}

void TFormGrafik::scheduleRedraw() {
  redrawPending_ = true;
  // A hidden window draws when it is shown.
  if (!isVisible() || redrawTimer_.isActive()) return;
  const qint64 since = sinceRedraw_.elapsed();
  if (since >= kRedrawIntervalMs)
    redraw();
  else
    redrawTimer_.start(int(kRedrawIntervalMs - since));
}

void TFormGrafik::drawPendingNow() {
  if (redrawPending_) redraw();
}

std::pair<qint64, qint64> TFormGrafik::currentRange() const {
  const plot::TrendStore& store = shown_->store;
  switch (range_) {
    case Range::Follow: {
      const qint64 span = qint64(SpinMinutes->value()) * kMinuteMs;
      if (store.empty()) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        return {now - span, now};
      }
      // A run younger than the span is shown from its start, growing to the
      // right; an older one by its last minutes.
      if (store.lastMs() - store.firstMs() < span) return {store.firstMs(), store.firstMs() + span};
      return {store.lastMs() - span, store.lastMs()};
    }
    case Range::All: {
      if (store.empty()) {
        const qint64 now = QDateTime::currentMSecsSinceEpoch();
        return {now - kMinuteMs, now};
      }
      // A single frame still gets a minute around it.
      const qint64 span = std::max<qint64>(store.lastMs() - store.firstMs(), kMinuteMs);
      return {store.firstMs(), store.firstMs() + span};
    }
    case Range::Fixed:
      break;
  }
  return {fromMs_, toMs_};
}

void TFormGrafik::redraw() {
  redrawTimer_.stop();
  redrawPending_ = false;
  sinceRedraw_.restart();
  std::tie(fromMs_, toMs_) = currentRange();
  TrendContent content;
  content.store = &shown_->store;
  content.fromMs = fromMs_;
  content.toMs = toMs_;
  content.shown = shownCurves();
  addPlan(content);
  chart_->draw(content);
  updateInfo();
}

std::array<bool, plot::kQuantityCount> TFormGrafik::shownCurves() const {
  std::array<bool, plot::kQuantityCount> on{};
  for (std::size_t i = 0; i < on.size(); ++i) on[i] = curveBoxes_[i]->isChecked();
  return on;
}

void TFormGrafik::setFixedRange(double fromMs, double toMs) {
  if (toMs - fromMs < kMinSpanMs) {
    const double middle = (fromMs + toMs) / 2;
    fromMs = middle - kMinSpanMs / 2;
    toMs = middle + kMinSpanMs / 2;
  }
  range_ = Range::Fixed;
  fromMs_ = qint64(std::llround(fromMs));
  toMs_ = qint64(std::llround(toMs));
  // Zooming or panning by hand ends following.
  if (CheckBoxSledit->isChecked()) {
    const QSignalBlocker quiet(CheckBoxSledit);
    CheckBoxSledit->setChecked(false);
  }
  redraw();
}

void TFormGrafik::zoomAt(double atMs, double factor) {
  const double from = double(fromMs_);
  const double to = double(toMs_);
  setFixedRange(atMs - (atMs - from) * factor, atMs + (to - atMs) * factor);
}

void TFormGrafik::panBy(double byMs) {
  setFixedRange(double(fromMs_) + byMs, double(toMs_) + byMs);
}

void TFormGrafik::setFollow(bool on) {
  range_ = on ? Range::Follow : Range::Fixed;
  redraw();
}

void TFormGrafik::showAll() {
  range_ = Range::All;
  if (CheckBoxSledit->isChecked()) {
    const QSignalBlocker quiet(CheckBoxSledit);
    CheckBoxSledit->setChecked(false);
  }
  redraw();
}

void TFormGrafik::showReadout(double atMs) {
  const plot::TrendStore& store = shown_->store;
  if (store.empty() || atMs < double(store.firstMs())) {
    chart_->setCursorTime(std::nullopt);
    LabelReadout->clear();
    return;
  }
  const plot::Sample s = store.sample(store.indexAt(qint64(atMs)));
  chart_->setCursorTime(s.timeMs);
  QStringList parts;
  parts << QDateTime::fromMSecsSinceEpoch(s.timeMs).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
  if (s.program >= 0)
    parts << QString::fromUtf8("программа %1, этап %2").arg(s.program).arg(s.stage);
  for (const plot::QuantityInfo& info : plot::kQuantities)
    if (s.has(info.quantity))
      parts << QString::fromUtf8(info.label) + QStringLiteral(": ") +
                   valueText(s.value(info.quantity));
  LabelReadout->setText(parts.join(QStringLiteral(";  ")));
}

void TFormGrafik::updateInfo() {
  QString text = shown_->title + QString::fromUtf8(": точек %1").arg(shown_->store.size());
  if (shown_ != &live_) text += QString::fromUtf8(", пропущено строк %1").arg(shown_->skippedLines);
  const QString plan = planInfo();
  if (!plan.isEmpty()) text += QStringLiteral("; ") + plan;
  LabelInfo->setText(text);
}

}  // namespace calorix
