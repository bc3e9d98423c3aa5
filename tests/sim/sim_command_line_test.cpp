// calorix-sim's options, and the telemetry period the in-process simulator
// hands to its controller.
#include <gtest/gtest.h>

#include <QStringList>

#include "sim/PtyServer.h"
#include "sim/SimCommandLine.h"

namespace calorix::sim {
namespace {

TEST(SimCommandLine, TakesEveryOption) {
  QString error;
  const auto line =
      parseSimCommandLine({"--link", "/tmp/l", "--state", "/tmp/s.bin", "--sim-speed", "60",
                           "--cycle-ms", "1000", "--telemetry-ms", "25", "--furnace-rate", "35.5",
                           "--furnace-lag", "240", "--furnace-dead-time", "0"},
                          &error);
  ASSERT_TRUE(line) << error.toStdString();
  EXPECT_EQ(line->linkPath, "/tmp/l");
  EXPECT_EQ(line->statePath, "/tmp/s.bin");
  EXPECT_EQ(line->simSpeed, 60.0);
  EXPECT_EQ(line->cycleMs, 1000);
  EXPECT_EQ(line->telemetryMs, 25);
  EXPECT_EQ(line->furnace.maxRateCPerMin, 35.5);
  EXPECT_EQ(line->furnace.chamberLagS, 240.0);
  EXPECT_EQ(line->furnace.deadTimeS, 0.0);
  const auto defaults = parseSimCommandLine({}, &error);
  ASSERT_TRUE(defaults);
  EXPECT_EQ(defaults->telemetryMs, 500);
}

TEST(SimCommandLine, RefusesWhatItCannotServe) {
  struct Case {
    QStringList args;
    const char* says;
  };
  const Case cases[] = {
      {{"--telemetry-ms", "24"}, "at least 25"},
      {{"--telemetry-ms", "0"}, "at least 25"},
      {{"--telemetry-ms", "-100"}, "at least 25"},
      {{"--telemetry-ms", "fast"}, "bad number for --telemetry-ms: fast"},
      {{"--telemetry-ms"}, "--telemetry-ms needs a value"},
      {{"--sim-speed", "0"}, "bad number for --sim-speed"},
      {{"--cycle-ms", "x"}, "bad number for --cycle-ms"},
      {{"--telemetry", "25"}, "unknown option --telemetry"},
      {{"--furnace-rate", "0"}, "--furnace-rate needs a rate above 0"},
      {{"--furnace-rate", "nan"}, "--furnace-rate needs a rate above 0"},
      {{"--furnace-lag", "-1"}, "--furnace-lag needs 0 to 3600 seconds, not '-1'"},
      {{"--furnace-dead-time", "1e9"}, "--furnace-dead-time needs 0 to 3600 seconds"},
      {{"--furnace-dead-time"}, "--furnace-dead-time needs a value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.join(' ').toStdString());
    QString error;
    EXPECT_FALSE(parseSimCommandLine(c.args, &error));
    EXPECT_TRUE(error.contains(QString::fromUtf8(c.says))) << error.toStdString();
  }
  EXPECT_TRUE(simUsage().contains("[--telemetry-ms N]"));
}

TEST(InProcessSimulator, PassesTheTelemetryPeriodOnAndRefusesOneFasterThanTheLine) {
  SimulatorOptions o;
  o.telemetryPeriodMs = 10;
  QString error;
  EXPECT_FALSE(startInProcessSimulator(o, &error));
  EXPECT_TRUE(error.contains("at least 25")) << error.toStdString();

  o.telemetryPeriodMs = 25;
  auto sim = startInProcessSimulator(o, &error);
  ASSERT_TRUE(sim) << error.toStdString();
  qint64 period = 0;
  sim->server().inspect([&](Controller& c) { period = c.options().telemetryPeriodMs; });
  EXPECT_EQ(period, 25);
}

}  // namespace
}  // namespace calorix::sim
