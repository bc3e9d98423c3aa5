// calorix-cli tune on run logs of the simulated furnace: the proposal and the
// cubics as the coefficient editor shows them, the JSON a script reads, and
// what it refuses; the controller is never opened.
#include <gtest/gtest.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "tests/cli/CliRig.h"
#include "tests/support/FurnaceRunLog.h"

namespace calorix::testing {
namespace {

QString writeRunLog(CliRig& rig, const QString& name, const QByteArray& bytes) {
  QFile f(rig.path(name));
  EXPECT_TRUE(f.open(QIODevice::WriteOnly));
  f.write(bytes);
  return f.fileName();
}

const QByteArray& runLog() {
  static const QByteArray log = [] {
    FurnaceRun run;
    run.stages = {{300, 20, 0}, {500, 20, 0}};
    run.maxSeconds = 2 * 3600;
    return runFurnace(run).log;
  }();
  return log;
}

TEST(CliTune, ProposesPerBandAndPrintsTheCubicsAsTheEditorShowsThem) {
  CliRig rig;
  const QString log = writeRunLog(rig, "09_00_00 Data.txt", runLog());
  ASSERT_EQ(rig.run({"tune", log, "--rule", "amigo", "--band", "100"}), 0) << rig.err.toStdString();
  EXPECT_TRUE(rig.out.contains("law (checked on")) << rig.out.toStdString();
  EXPECT_TRUE(rig.out.contains("rule: amigo"));
  EXPECT_TRUE(rig.out.contains(QString::fromUtf8("Пропорциональный")));
  for (const char* row : {"\n  A  ", "\n  B  ", "\n  C  ", "\n  D  "})
    EXPECT_TRUE(rig.out.contains(row));

  ASSERT_EQ(rig.run({"--json", "tune", log}), 0);
  const QJsonObject o = QJsonDocument::fromJson(rig.out.toUtf8()).object();
  QStringList keys = o.keys();
  keys.sort();
  EXPECT_EQ(keys,
            QStringList({"bands", "command", "cubics", "exitCode", "law", "model", "ok", "rule"}));
  EXPECT_EQ(o["rule"].toString(), "model");
  EXPECT_TRUE(o["model"].toObject()["met"].toBool());
  const QJsonArray bands = o["bands"].toArray();
  ASSERT_FALSE(bands.isEmpty());
  QStringList bandKeys = bands[1].toObject().keys();
  bandKeys.sort();
  EXPECT_EQ(bandKeys,
            QStringList({"dead_s", "fit", "from_c", "gain", "kd", "ki", "kp", "tau_s", "to_c"}));
  for (const char* column : {"KP", "KI", "KD"})
    EXPECT_EQ(o["cubics"].toObject()[column].toArray().size(), 4) << column;
  // A proposal the cubics give back near enough at an excited band.
  for (const auto& b : bands) {
    const QJsonObject band = b.toObject();
    if (band["kp"].isNull()) continue;
    const QJsonArray kp = o["cubics"].toObject()["KP"].toArray();
    const double t = (band["from_c"].toDouble() + band["to_c"].toDouble()) / 2;
    const double atT =
        ((kp[0].toDouble() * t + kp[1].toDouble()) * t + kp[2].toDouble()) * t + kp[3].toDouble();
    EXPECT_NEAR(atT, band["kp"].toDouble(), 0.1 * band["kp"].toDouble() + 0.05) << t;
  }
  EXPECT_EQ(rig.linkOpens, 0);
}

TEST(CliTune, RefusesWhatItCannotUse) {
  CliRig rig;
  const QString log = writeRunLog(rig, "run.txt", runLog());
  // A log whose power is not what the actions add up to.
  QString text = cp1251::decode(runLog());
  QStringList lines = text.split("\r\n");
  for (int i = 2; i < lines.size(); i += 3) {
    QStringList f = lines[i].split("  ;  ");
    if (f.size() == 23) f[9] = QString::number(f[9].trimmed().toInt() / 2 + 7);
    lines[i] = f.join("  ;  ");
  }
  const QString broken = writeRunLog(rig, "broken.txt", cp1251::encode(lines.join("\r\n")));
  struct Case {
    QStringList args;
    int code;
    const char* says;
  };
  const Case cases[] = {
      {{"tune", log, "--rule", "pi"}, 2, "--rule pi: the rules are model, simc, amigo, zn"},
      {{"tune", log, "--band", "5"}, 2, "--band 5: give a width of 10 to 1000"},
      {{"plot", log, "--rule", "simc"}, 2, "--rule and --band belong to tune"},
      {{"tune", rig.path("none.txt")}, 4, "no such file"},
      {{"tune", broken}, 4, "no regulator law can be stated"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    EXPECT_EQ(rig.run(c.args), c.code);
    EXPECT_TRUE(rig.err.contains(c.says)) << rig.err.toStdString();
  }
  EXPECT_EQ(rig.linkOpens, 0);
}

}  // namespace
}  // namespace calorix::testing
