#include "tools/TuneWindow.h"

#include <QApplication>
#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include "ui/Designed.h"
#include "ui/Events.h"

namespace calorix {
namespace {

QString num(double v) {
  return QString::number(v, 'g', 4);
}

constexpr int kRunsBetweenEvents = 20;

// What the model rule foretells of its proposal over the reference program.
QString modelText(const tuning::ModelProposal& m) {
  QString text = QString::fromUtf8(
                     "На модели печи по эталонной программе: интеграл модуля ошибки %1 °C·мин, "
                     "перерегулирование %2 °C, размах в конце выдержек %3 °C (%4 прогонов модели)")
                     .arg(m.predicted.iae, 0, 'f', 0)
                     .arg(m.predicted.overshoot, 0, 'f', 1)
                     .arg(m.predicted.worstSwing(), 0, 'f', 2)
                     .arg(m.runs);
  if (!m.ok) text += QString::fromUtf8("\nГраницы не выдержаны: %1").arg(m.why);
  return text;
}

QTableWidgetItem* cell(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(item->flags() & ~Qt::ItemIsEditable);
  return item;
}

}  // namespace

TuneWindow::TuneWindow(std::array<QLineEdit*, 12> pidFields, QWidget* parent)
    : QWidget(parent, Qt::Window), pidFields_(pidFields) {
  setObjectName("TuneWindow");
  setWindowTitle(QString::fromUtf8("Подбор коэффициентов PIDа по журналам"));
  auto* layout = new QVBoxLayout(this);
  law_ = designed(new QLabel(this), "LabelLaw");
  law_->setWordWrap(true);
  layout->addWidget(law_);

  auto* controls = new QHBoxLayout;
  auto* ruleLabel = new QLabel(QString::fromUtf8("Правило"), this);
  rule_ = labelled(ruleLabel, designed(new QComboBox(this), "ComboRule"));
  for (const tuning::RuleInfo& r : tuning::rules()) rule_->addItem(QLatin1String(r.key));
  auto* bandLabel = new QLabel(QString::fromUtf8("Зона"), this);
  band_ = labelled(bandLabel, designed(new QComboBox(this), "ComboBand"));
  fill_ = designed(new QPushButton(QString::fromUtf8("Заполнить поля группы"), this), "ButtonFill");
  fill_->setEnabled(false);
  progress_ = designed(new QProgressBar(this), "ProgressPodbor");
  progress_->setRange(0, 1);
  progress_->setValue(0);
  for (QWidget* w :
       std::initializer_list<QWidget*>{ruleLabel, rule_, bandLabel, band_, fill_, progress_})
    controls->addWidget(w);
  controls->addStretch();
  layout->addLayout(controls);

  chart_ = new QChart;
  chart_->legend()->setAlignment(Qt::AlignBottom);
  auto* view = designed(new QChartView(chart_, this), "ChartBand");
  view->setMinimumHeight(260);
  layout->addWidget(view, 1);

  bands_ = designed(new QTableWidget(0, 13, this), "GridBands");
  bands_->setHorizontalHeaderLabels(
      {QString::fromUtf8("Зона, °C"), QString::fromUtf8("K, °C/%"), QString::fromUtf8("τ, с"),
       QString::fromUtf8("θ, с"), QString::fromUtf8("Согласие, %"), "KP", "KI", "KD",
       QString::fromUtf8("KP куб."), QString::fromUtf8("KI куб."), QString::fromUtf8("KD куб."),
       QString::fromUtf8("Примечание"), QString()});
  bands_->setColumnHidden(12, true);
  bands_->verticalHeader()->hide();
  layout->addWidget(bands_, 1);

  cubics_ = designed(new QTableWidget(4, 6, this), "GridCubics");
  cubics_->setHorizontalHeaderLabels(
      {QString::fromUtf8("KP подбор"), QString::fromUtf8("KD подбор"),
       QString::fromUtf8("KI подбор"), QString::fromUtf8("KP в окне"),
       QString::fromUtf8("KD в окне"), QString::fromUtf8("KI в окне")});
  cubics_->setVerticalHeaderLabels({"A", "B", "C", "D"});
  cubics_->setMaximumHeight(160);
  layout->addWidget(cubics_);
  auto* note = new QLabel(
      QString::fromUtf8("В контроллер ничего не записывается: поля группы 4 записывает её "
                        "кнопка «Запись»."),
      this);
  layout->addWidget(note);

  connect(rule_, &QComboBox::currentIndexChanged, this, [this] { propose(); });
  connect(band_, &QComboBox::currentIndexChanged, this, [this](int i) { showBand(i); });
  connect(fill_, &QPushButton::clicked, this, [this] { fillEditor(); });
  resize(1100, 800);
}

void TuneWindow::tuneLogs(const QStringList& paths) {
  if (busy_) return;
  logs_.clear();
  QApplication::setOverrideCursor(Qt::WaitCursor);
  for (const QString& path : paths) logs_.push_back(tuning::readTuningLog(path));
  QApplication::restoreOverrideCursor();
  propose();
}

void TuneWindow::propose() {
  if (busy_) return;
  busy_ = true;
  tuning::TuneOptions options;
  options.rule = tuning::ruleByKey(rule_->currentText()).value_or(tuning::Rule::Model);
  // The model rule runs the furnace some thousand times: the bar shows how
  // far, the window stays alive, and its own controls wait.
  for (QWidget* w : std::initializer_list<QWidget*>{rule_, band_, fill_}) w->setEnabled(false);
  options.progress = [this](int done, int total) {
    progress_->setRange(0, total);
    progress_->setValue(done);
    if (done % kRunsBetweenEvents == 0) ui::letEventsRun();
  };
  QApplication::setOverrideCursor(Qt::WaitCursor);
  result_ = tuning::tune(logs_, options);
  QApplication::restoreOverrideCursor();
  progress_->setValue(progress_->maximum());
  rule_->setEnabled(true);
  band_->setEnabled(true);
  busy_ = false;

  QStringList text;
  for (const QString& n : result_.notes) text << n;
  text << (result_.law.holds ? QString::fromUtf8("Закон регулятора (проверен по %1 строкам): %2")
                                   .arg(result_.law.linesChecked)
                                   .arg(result_.law.statement)
                             : QString());
  if (result_.ok && result_.model) text << modelText(*result_.model);
  if (!result_.ok) text << QString::fromUtf8("Подбор невозможен: %1").arg(result_.error);
  text.removeAll(QString());
  law_->setText(text.join('\n'));
  fill_->setEnabled(result_.ok);

  bands_->setRowCount(int(result_.bands.size()));
  const QSignalBlocker block(band_);
  band_->clear();
  for (int row = 0; row < int(result_.bands.size()); ++row) {
    const tuning::BandProposal& b = result_.bands[std::size_t(row)];
    const QString range = QString("%1..%2").arg(b.band.fromC).arg(b.band.toC);
    band_->addItem(range);
    QStringList cells{range};
    if (b.proposed)
      cells << num(b.band.fopdt.gain) << num(b.band.fopdt.tauS) << num(b.band.fopdt.deadS)
            << QString::number(b.band.fitPercent, 'f', 1) << num(b.proposed->kp)
            << num(b.proposed->ki) << num(b.proposed->kd) << num(b.fromCubics.kp)
            << num(b.fromCubics.ki) << num(b.fromCubics.kd) << QString();
    else
      cells << QString() << QString() << QString() << QString() << QString() << QString()
            << QString() << QString() << QString() << QString() << b.band.why;
    for (int c = 0; c < cells.size(); ++c) bands_->setItem(row, c, cell(cells[c]));
  }
  bands_->resizeColumnsToContents();
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 3; ++col) {
      const double word =
          result_.ok ? result_.cubics[std::size_t(col)].cubic.c[std::size_t(3 - row)] : 0;
      cubics_->setItem(row, col, cell(result_.ok ? tuning::editorText(word) : QString()));
      cubics_->setItem(row, 3 + col, cell(pidFields_[std::size_t(4 * col + row)]->text()));
    }
  showBand(band_->currentIndex());
}

void TuneWindow::showBand(int index) {
  chart_->removeAllSeries();
  for (QAbstractAxis* axis : chart_->axes()) chart_->removeAxis(axis);
  if (index < 0 || index >= int(result_.bands.size()) || !result_.id.ok) return;
  const tuning::BandModel& band = result_.bands[std::size_t(index)].band;
  chart_->setTitle(
      QString::fromUtf8("Зона %1..%2 °C: измерено и модель").arg(band.fromC).arg(band.toC));
  auto* measured = new QLineSeries;
  measured->setName(QString::fromUtf8("измерено"));
  auto* model = new QLineSeries;
  model->setName(QString::fromUtf8("модель"));
  QPen dashed = model->pen();
  dashed.setStyle(Qt::DashLine);
  model->setPen(dashed);
  // The visits one after another on one time axis (minutes into the band).
  double offset = 0;
  for (const tuning::BandVisit& v :
       tuning::bandVisits(result_.id.plant, logs_, band.fromC, band.toC)) {
    for (std::size_t k = 0; k < v.t.size(); ++k) {
      const double minutes = offset + (v.t[k] - v.t.front()) / 60;
      measured->append(minutes, v.measured[k]);
      model->append(minutes, v.model[k]);
    }
    if (!v.t.empty()) offset += (v.t.back() - v.t.front()) / 60 + 1;
  }
  chart_->addSeries(measured);
  chart_->addSeries(model);
  auto* x = new QValueAxis;
  x->setTitleText(QString::fromUtf8("мин в зоне"));
  auto* y = new QValueAxis;
  y->setTitleText(QString::fromUtf8("°C"));
  chart_->addAxis(x, Qt::AlignBottom);
  chart_->addAxis(y, Qt::AlignLeft);
  for (QLineSeries* s : {measured, model}) {
    s->attachAxis(x);
    s->attachAxis(y);
  }
  x->setRange(0, std::max(1.0, offset));
  y->setRange(band.fromC, band.toC);
}

void TuneWindow::fillEditor() {
  if (!result_.ok) return;
  for (int col = 0; col < 3; ++col)
    for (int row = 0; row < 4; ++row)
      pidFields_[std::size_t(4 * col + row)]->setText(
          tuning::editorText(result_.cubics[std::size_t(col)].cubic.c[std::size_t(3 - row)]));
  for (int row = 0; row < 4; ++row)
    for (int col = 0; col < 3; ++col)
      cubics_->setItem(row, 3 + col, cell(pidFields_[std::size_t(4 * col + row)]->text()));
}

}  // namespace calorix
