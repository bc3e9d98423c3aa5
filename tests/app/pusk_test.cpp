// A Пуск run: start, the 4-second ticks, end detection and Стоп.
#include <QDir>

#include "pid/PuskRun.h"
#include "tests/app/panel_fixture.h"
#include "tests/support/StartupFiles.h"

namespace calorix::testing {
namespace {

class PuskTest : public PanelTest {
 protected:
  QStringList workLog() { return logFileLines(h.link().dataLogPath()); }
  // Colour of Panel1 whenever the stop sequence re-reads the panel.
  std::vector<QColor> colourAtReadPanel;
  void recordColours() {
    ctx->readPanel = [this] {
      colourAtReadPanel.push_back(panelColor());
      panel->RdInd_IndPanel();
    };
  }
  void setStage(std::uint8_t stage, bool heater) {
    setRam(0x7C, {2, stage});
    setRam(0x02, {std::uint8_t(heater ? 0x02 : 0x00)});
  }
  static Bytes setRegBits(std::uint8_t reg, std::uint8_t orMask, std::uint8_t andMask) {
    return {0x01, 0x05, reg, orMask, andMask, 0x80};
  }
};

TEST_F(PuskTest, RunLogsItsLinesAndEndsByItselfWithoutKeyCodeOne) {
  recordColours();
  setStage(0, true);
  h.ctrl().memory().setRamDWord(0xC4, 0x00019080);  // 400.5 degrees
  press("ShapePuskStopTop");
  release("ShapePuskStopTop");
  EXPECT_EQ(panelColor(), colors::kPusk);
  EXPECT_EQ(text("Edit37"), QStringLiteral("0"));
  EXPECT_EQ(run.PuskFlag, 1);
  EXPECT_EQ(run.PidRunActive, 1);
  EXPECT_TRUE(parts->puskRun().TimerPuskPidNew().isActive());
  EXPECT_EQ(parts->puskRun().TimerPuskPidNew().interval(), 4000);
  const Bytes start = cat({setRegBits(5, 0x04, 0xFF), panelKeyFrame(0x01)});
  const Bytes sent = received();
  ASSERT_GE(sent.size(), start.size());
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + Bytes::difference_type(start.size())), start);

  QStringList log = workLog();
  ASSERT_EQ(log.size(), 3);
  EXPECT_EQ(log[0], QString::fromUtf8("Данные работы "));
  EXPECT_EQ(log[1],
            QString::fromUtf8(
                "  1 номер ;  2 время   ;  3 программа  ;  4 ступень  ;  5 температура  ;"));
  EXPECT_TRUE(log[2].startsWith(QStringLiteral("0  ;  "))) << log[2].toStdString();
  EXPECT_TRUE(log[2].endsWith(QStringLiteral("   ;  2  ;  0  ;  400.5"))) << log[2].toStdString();

  // Stage 0: no line; the first tick turns the panel orange.
  parts->puskRun().tick();
  EXPECT_EQ(text("Edit37"), QStringLiteral("1"));
  EXPECT_EQ(panelColor(), colors::kRunning);
  EXPECT_EQ(workLog().size(), 3);
  // A stage with the heater on: a line with the frame number.
  setStage(1, true);
  setRam(0x60, {0, 2, 0, 1, 1, 2, 3, 4, 0, 0, 2});
  parts->puskRun().tick();
  log = workLog();
  ASSERT_EQ(log.size(), 4);
  EXPECT_TRUE(log[3].startsWith(QStringLiteral("2  ;  "))) << log[3].toStdString();
  EXPECT_TRUE(log[3].endsWith(QStringLiteral("  ;  2  ;  1  ;  400.5")));
  EXPECT_EQ(text("EditStup"), QStringLiteral("01"));
  EXPECT_EQ(text("EditOstuv"), QStringLiteral(" IIIIIIIII"));  // the mirror variant

  // Stage 3 with the heater off: the controller has finished the program.
  setStage(3, false);
  h.ctrl().clearLogs();
  parts->puskRun().tick();
  const Bytes stop = cat({setRegBits(5, 0, 0xFB), setRegBits(0x0E, 0, 0xFD),
                          setRegBits(0x0E, 0, 0xFE), readOutFrames()});
  EXPECT_EQ(received(), stop);  // no key code 1
  EXPECT_EQ(run.PuskFlag, 0);
  EXPECT_EQ(run.PidRunActive, 0);
  EXPECT_EQ(run.PidStopRequest, 0);
  EXPECT_EQ(text("Edit37"), QStringLiteral("0"));
  EXPECT_EQ(panelColor(), colors::kActiveBorder);
  ASSERT_EQ(colourAtReadPanel.size(), 1u);
  EXPECT_EQ(colourAtReadPanel[0], colors::kStop);
  EXPECT_FALSE(parts->puskRun().TimerPuskPidNew().isActive());
  EXPECT_FALSE(h.link().dataLogOpen());
}

TEST_F(PuskTest, StopWithTheHeaterOnSendsKeyCodeOneAtTheNextTick) {
  setStage(0, true);
  press("ShapePuskStopTop");
  release("ShapePuskStopTop");
  setStage(2, true);
  h.ctrl().clearLogs();
  press("ShapePuskStopTop");
  release("ShapePuskStopTop");
  EXPECT_EQ(received(), Bytes{});  // Стоп itself sends nothing
  EXPECT_EQ(panelColor(), colors::kStop);
  EXPECT_EQ(run.PuskFlag, 0);
  EXPECT_EQ(run.PidStopRequest, 1);
  parts->puskRun().tick();
  const Bytes expected = cat({panelKeyFrame(0x01), setRegBits(5, 0, 0xFB),
                              setRegBits(0x0E, 0, 0xFD), setRegBits(0x0E, 0, 0xFE)});
  const Bytes sent = received();
  ASSERT_GE(sent.size(), expected.size());
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + Bytes::difference_type(expected.size())), expected);
  EXPECT_EQ(text("Edit37"), QStringLiteral("0"));
  EXPECT_EQ(panelColor(), colors::kActiveBorder);
}

TEST_F(PuskTest, TickThatFindsTheLinkBusyIsDeferredNotLost) {
  setStage(0, true);
  press("ShapePuskStopTop");
  release("ShapePuskStopTop");
  h.ctrl().clearLogs();
  ASSERT_TRUE(h.link().tryBegin());
  parts->puskRun().tick();
  EXPECT_EQ(received(), Bytes{});
  EXPECT_EQ(text("Edit37"), QStringLiteral("0"));
  EXPECT_TRUE(parts->puskRun().TimerPuskPidNew().isActive());
  EXPECT_EQ(parts->puskRun().TimerPuskPidNew().interval(), PuskRun::kBusyRetryMs);
  h.link().end();
  parts->puskRun().tick();
  EXPECT_EQ(text("Edit37"), QStringLiteral("1"));
  EXPECT_EQ(parts->puskRun().TimerPuskPidNew().interval(), 4000);
  EXPECT_FALSE(parts->puskRun().TimerForReadForPolz().isActive());
}

}  // namespace
}  // namespace calorix::testing
