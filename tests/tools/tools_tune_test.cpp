// The coefficient editor's tuning assistant, driven as an engineer does: logs
// chosen, the proposal shown with each band's model against its measurements,
// group 4 filled on request, and nothing sent to the controller until that
// group's "Запись".
#include <gtest/gtest.h>

#include <QChart>
#include <QChartView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QProgressBar>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include "core/ByteCodec.h"
#include "core/ControllerMap.h"
#include "tests/support/FurnaceRunLog.h"
#include "tests/support/WindowFixture.h"
#include "tools/TFormIzmKoef.h"
#include "tools/TuneWindow.h"

namespace calorix {
namespace {

const char* const kPidNames[12] = {"EditAP", "EditBP", "EditCP", "EditDP", "EditAD", "EditBD",
                                   "EditCD", "EditDD", "EditAI", "EditBI", "EditCI", "EditDI"};

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
  QFile f(dir.filePath(name));
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  return f.fileName();
}

TEST(CoefEditorTuning, ProposesFromLogsFillsGroupFourAndSendsNothingBeforeZapis) {
  testing::WindowFixture f;
  TFormIzmKoef window{f.ctx};
  QTemporaryDir dir;
  testing::FurnaceRun run;
  run.stages = {{300, 20, 0}, {500, 20, 0}};
  run.maxSeconds = 2 * 3600;
  const QString good = writeFile(dir, "run.txt", testing::runFurnace(run).log);
  const QString pusk = writeFile(dir, "pusk.txt",
                                 cp1251::encode(QString::fromUtf8(
                                     "Данные работы \r\n0  ;  10:00:00   ;  1  ;  1  ;  25\r\n")));
  QStringList chosen{pusk};
  window.setLogChooser([&](QWidget*) { return chosen; });
  f.harness.ctrl().clearLogs();
  auto* podbor = window.findChild<QPushButton*>("ButtonPodbor");
  ASSERT_NE(podbor, nullptr);

  // Logs without the regulator's actions: refused, nothing to fill.
  QTest::mouseClick(podbor, Qt::LeftButton);
  auto* tune = window.findChild<TuneWindow*>();
  ASSERT_NE(tune, nullptr);
  EXPECT_TRUE(tune->findChild<QLabel*>("LabelLaw")
                  ->text()
                  .contains(QString::fromUtf8("Подбор невозможен")));
  auto* fill = tune->findChild<QPushButton*>("ButtonFill");
  EXPECT_FALSE(fill->isEnabled());

  chosen = {good};
  QTest::mouseClick(podbor, Qt::LeftButton);
  ASSERT_TRUE(tune->result().ok) << tune->result().error.toStdString();
  const QString said = tune->findChild<QLabel*>("LabelLaw")->text();
  EXPECT_TRUE(said.contains("power = clamp(P + I + D"));
  // The model rule by default: what it foretells is shown, the bar run to its end.
  EXPECT_TRUE(said.contains(QString::fromUtf8("На модели печи"))) << said.toStdString();
  const auto* bar = tune->findChild<QProgressBar*>("ProgressPodbor");
  EXPECT_GT(bar->maximum(), 100);
  EXPECT_EQ(bar->value(), bar->maximum());
  auto* bands = tune->findChild<QTableWidget*>("GridBands");
  EXPECT_EQ(bands->rowCount(), int(tune->result().bands.size()));
  // The band shown first has its measured curve and the model's.
  const auto series = tune->findChild<QChartView*>("ChartBand")->chart()->series();
  ASSERT_EQ(series.size(), 2);
  const auto* measured = qobject_cast<QLineSeries*>(series[0]);
  const auto* model = qobject_cast<QLineSeries*>(series[1]);
  ASSERT_GT(measured->count(), 10);
  EXPECT_EQ(measured->count(), model->count());
  EXPECT_EQ(window.findChild<QLineEdit*>("EditAP")->text(), "EditAP") << "nothing filled yet";

  QTest::mouseClick(fill, Qt::LeftButton);
  const auto& cubics = tune->result().cubics;
  for (int i = 0; i < 12; ++i) {
    const double word = cubics[std::size_t(i / 4)].cubic.c[std::size_t(3 - i % 4)];
    EXPECT_EQ(window.findChild<QLineEdit*>(kPidNames[i])->text(), tuning::editorText(word))
        << kPidNames[i];
  }
  EXPECT_TRUE(f.harness.ctrl().received().empty()) << "the assistant never talks to the controller";

  // "Запись" of group 4 stores what the fields now say.
  QTest::mouseClick(window.findChild<QPushButton*>("Button8"), Qt::LeftButton);
  const auto& block = f.harness.ctrl().memory().blockMem;
  const std::uint16_t signs = ctl::le16(&block[ctl::block::kPidSignFlags]);
  for (int i = 0; i < 12; ++i) {
    const double word = cubics[std::size_t(i / 4)].cubic.c[std::size_t(3 - i % 4)];
    const double stored = ctl::le32(&block[ctl::block::kPidCubics + 4 * i]) / 1e8;
    EXPECT_NEAR((signs >> i) & 1 ? -stored : stored, word, 1e-9) << kPidNames[i];
  }
}

}  // namespace
}  // namespace calorix
