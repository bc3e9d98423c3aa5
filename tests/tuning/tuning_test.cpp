// The tuning assistant against the simulated furnace: the regulator's law
// derived from its own run logs (and refused when a log breaks it), a known
// furnace recovered from a run, a band the logs never excite reported, and
// the controller's cubic words fitted through the proposals.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QRegularExpression>

#include "core/Cp1251.h"
#include "sim/Furnace.h"
#include "tests/support/FurnaceRunLog.h"
#include "tuning/Tuning.h"

namespace calorix::tuning {
namespace {

using testing::FurnaceRun;
using testing::runFurnace;

// A commissioning run: steps up at full speed and holds, so every band the
// run crosses sees the power change.
FurnaceRun staircase(const sim::FurnaceParams& furnace) {
  FurnaceRun run;
  run.furnace = furnace;
  run.stages = {{250, 25, 0}, {450, 25, 0}, {650, 25, 0}};
  run.maxSeconds = 3 * 3600;
  return run;
}

TuningLog logOf(const QByteArray& bytes, const QString& name = QStringLiteral("run.txt")) {
  return tuningLogFrom(bytes, QDate(2026, 3, 5), name);
}

const QByteArray& defaultRunLog() {
  static const QByteArray log = runFurnace(staircase({})).log;
  return log;
}

// The data lines of a log with one field of some of them rewritten.
QByteArray edited(const QByteArray& log, int field,
                  const std::function<QString(int line, const QStringList& fields)>& edit) {
  QStringList lines = cp1251::decode(log).split(QStringLiteral("\r\n"));
  for (int i = 2; i < lines.size(); ++i) {
    QStringList f = lines[i].split(QStringLiteral("  ;  "));
    if (f.size() != 23) continue;
    const QString replaced = edit(i - 2, f);
    if (!replaced.isNull()) f[field] = replaced;
    lines[i] = f.join(QStringLiteral("  ;  "));
  }
  return cp1251::encode(lines.join(QStringLiteral("\r\n")));
}

double value(const QString& text) {
  QString t = text;
  t.remove(QLatin1Char(' '));
  return t.replace(QLatin1Char(','), QLatin1Char('.')).toDouble();
}

TEST(RegulatorLaw, TheSimulatedControllersLawIsDerivedWithItsUnits) {
  const RegulatorLaw law = deriveLaw({logOf(defaultRunLog())});
  ASSERT_TRUE(law.holds) << law.refusal.toStdString();
  EXPECT_GT(law.linesChecked, 1000);
  EXPECT_NEAR(law.sumPerSecond, 1.0, 0.05) << "the sum grows by the error each second";
  EXPECT_GT(law.easedLines, 0) << "the controller halves P in the last degrees of a stage";
  EXPECT_TRUE(law.derivativeActive);
  EXPECT_TRUE(law.statement.contains(QStringLiteral("S += e·dt"))) << law.statement.toStdString();
}

TEST(RegulatorLaw, ActionsThatFollowNoLawAreRefusedWithTheFirstLineThatBreaksIt) {
  // Fields: 4 error, 5 sum of errors (0-based 4 and 6), 9 power, 10..12 P, I, D.
  struct Case {
    const char* what;
    int field;
    std::function<QString(int, const QStringList&)> edit;
    const char* says;
  };
  const Case cases[] = {
      {"power off the sum of the actions", 9,
       [](int n, const QStringList& f) {
         return n % 5 == 0 ? QString::number(std::min(100.0, value(f[9]) + 7)) : QString();
       },
       "power = P + I + D"},
      {"P not proportional to the error", 10,
       [](int, const QStringList& f) {
         const double e = value(f[4]);
         return QString::number(0.05 * e * std::abs(e));
       },
       "P = KP(T)"},
      {"I not the sum times a coefficient", 11,
       [](int n, const QStringList& f) {
         return n % 3 == 0 ? QString::number(value(f[11]) * 1.5 + 0.3) : QString();
       },
       "I = KI(T)"},
      {"the sum jumps about (I still KI times it)", 6,
       [](int n, const QStringList& f) {
         return QString::number(value(f[6]) * (n % 2 ? 1.8 : 0.6));
       },
       "sum of errors does not grow"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QByteArray log = edited(defaultRunLog(), c.field, c.edit);
    if (c.field == 6)
      log = edited(log, 11, [](int n, const QStringList& f) {
        return QString::number(value(f[11]) * (n % 2 ? 1.8 : 0.6));
      });
    if (c.field != 9)  // the power stays the sum of what the actions now say
      log = edited(log, 9, [](int, const QStringList& f) {
        const double total = value(f[10]) + value(f[11]) + value(f[12]);
        return QString::number(std::clamp(std::round(total), 0.0, 100.0));
      });
    const RegulatorLaw law = deriveLaw({logOf(log)});
    EXPECT_FALSE(law.holds);
    EXPECT_TRUE(law.refusal.contains(QString::fromUtf8(c.says))) << law.refusal.toStdString();
    EXPECT_TRUE(law.refusal.contains(QStringLiteral("run.txt, data line")))
        << law.refusal.toStdString();
    const TuneResult r = tune({logOf(log)});
    EXPECT_FALSE(r.ok);
    EXPECT_TRUE(r.error.startsWith(QStringLiteral("no regulator law"))) << r.error.toStdString();
  }
}

TEST(RegulatorLaw, LogsWithoutActionsGiveNoLaw) {
  const QByteArray pusk = cp1251::encode(QString::fromUtf8(
      "Данные работы \r\n  1 номер ;  2 время   ;  3 программа  ;  4 ступень  ;  5 температура  "
      ";\r\n"
      "0  ;  10:00:00   ;  1  ;  1  ;  25,5\r\n1  ;  10:00:04   ;  1  ;  1  ;  26\r\n"));
  const TuneResult r = tune({logOf(pusk, QStringLiteral("pusk.txt"))});
  EXPECT_FALSE(r.ok);
  EXPECT_TRUE(r.error.contains(QStringLiteral("no regulator actions"))) << r.error.toStdString();
  ASSERT_EQ(r.notes.size(), 1);
  EXPECT_TRUE(r.notes[0].contains(QStringLiteral("carries no heater power")));
}

TEST(Identify, AKnownFurnaceIsRecoveredFromItsRunLog) {
  struct Case {
    double rate, lag, dead;
  };
  for (const Case c : {Case{20, 60, 15}, Case{35, 150, 40}}) {
    SCOPED_TRACE(c.lag);
    sim::FurnaceParams p;
    p.maxRateCPerMin = c.rate;
    p.chamberLagS = c.lag;
    p.deadTimeS = c.dead;
    const Identification id = identify({logOf(runFurnace(staircase(p)).log)});
    ASSERT_TRUE(id.ok) << id.error.toStdString();
    EXPECT_NEAR(id.plant.b * 6000, c.rate, 0.1 * c.rate) << "°C/min at full power";
    EXPECT_NEAR(id.plant.deadS + id.plant.lagS, c.dead + c.lag, 0.2 * (c.dead + c.lag));
    int compared = 0;
    for (const BandModel& band : id.bands) {
      if (!band.excited || band.middle() < 200) continue;
      const Fopdt truth = testing::furnaceStep(p, band.middle());
      SCOPED_TRACE(band.middle());
      EXPECT_NEAR(band.fopdt.deadS, truth.deadS, 0.2 * truth.deadS);
      EXPECT_NEAR(band.fopdt.tauS, truth.tauS, 0.2 * truth.tauS);
      EXPECT_NEAR(band.fopdt.gain, truth.gain, 0.2 * truth.gain);
      EXPECT_GT(band.fitPercent, 80);
      ++compared;
    }
    EXPECT_GE(compared, 3);
  }
}

TEST(Identify, ABandTheLogsOnlyHoldInIsReportedNotGuessed) {
  // A second run that only holds at 780 °C: its band sees neither the
  // temperature nor the power move.
  FurnaceRun hold;
  hold.furnace.startC = 780;
  hold.stages = {{780, 600, 0}};
  hold.maxSeconds = 3 * 3600;
  QStringList lines = cp1251::decode(runFurnace(hold).log).split(QStringLiteral("\r\n"));
  lines = lines.mid(0, 2) + lines.mid(2 + 1800);  // the settled last hour
  TuneOptions perBand;  // the bands are the point here, not the model rule's search
  perBand.rule = Rule::Simc;
  const TuneResult r = tune(
      {logOf(defaultRunLog()), logOf(cp1251::encode(lines.join(QStringLiteral("\r\n"))))}, perBand);
  ASSERT_TRUE(r.ok) << r.error.toStdString();
  bool seen = false;
  for (const BandProposal& b : r.bands) {
    if (b.band.fromC != 700) continue;
    seen = true;
    EXPECT_FALSE(b.proposed);
    EXPECT_TRUE(b.band.why.contains(QStringLiteral("not enough excitation")))
        << b.band.why.toStdString();
  }
  EXPECT_TRUE(seen);
  const QJsonObject json = tuneJson(r);
  for (const auto& band : json[QStringLiteral("bands")].toArray())
    if (band[QStringLiteral("from_c")].toDouble() == 700) {
      EXPECT_TRUE(band[QStringLiteral("kp")].isNull());
    }
}

TEST(ControllerCubic, WordsAreWholeHundredMillionthsAndStillMeetTheProposals) {
  struct Case {
    std::vector<double> temps, values;
    double tolerance;   // at the points
    bool held = false;  // a word held at the controller's limit
  };
  const Case cases[] = {
      // A smooth schedule over the range: A's rounding is made good by B, C, D.
      {{150, 250, 350, 450, 550, 650, 750, 850}, {6.2, 5.1, 4.3, 3.7, 3.2, 2.9, 2.7, 2.6}, 0.15},
      // An integral coefficient of a few ten-thousandths.
      // Its curvature is below one word of B (1e-8 x 850² = 0.007): a line is what is left.
      {{250, 550, 850}, {0.0021, 0.0014, 0.0011}, 1.5e-4},
      // Two bands: a straight line through both.
      {{300, 600}, {4, 3}, 1e-5},
      // A KD of 450 (% per °C/s): D held at its limit, C, B and A carry the
      // rest (from 300 °C on within a tenth).
      {{300, 400, 500, 600, 700, 800, 900, 1000}, std::vector<double>(8, 450.0), 45, true},
  };
  for (const Case& c : cases) {
    const FittedCubic f = fitControllerCubic(c.temps, c.values);
    EXPECT_TRUE(f.fits);
    EXPECT_EQ(f.heldAtLimit, c.held);
    for (double word : f.cubic.c) {
      EXPECT_DOUBLE_EQ(std::round(word * 1e8) / 1e8, word);
      EXPECT_LE(std::abs(word), kCubicWordMax);
    }
    for (std::size_t k = 0; k < c.temps.size(); ++k)
      EXPECT_NEAR(f.cubic(c.temps[k]), c.values[k], c.tolerance) << c.temps[k];
  }
  // Two points need C = 50, beyond a word: held at the limit, the line misses them.
  const FittedCubic steep = fitControllerCubic({100, 200}, {0, 5000});
  EXPECT_TRUE(steep.heldAtLimit);
  EXPECT_FALSE(steep.fits);
}

TEST(ControllerCubic, EditorTextPutsTheMinusBeforeThePaddedMagnitude) {
  EXPECT_EQ(editorText(0.12345678), QStringLiteral(" 0.12345678"));
  EXPECT_EQ(editorText(-0.00000123), QStringLiteral("- 0.00000123"));
}

}  // namespace
}  // namespace calorix::tuning
