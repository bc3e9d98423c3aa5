#pragma once
// The whole console on the emulator (ConsoleHarness: in-memory port, virtual
// clock) with the trend window found by its class; controls are driven with
// QTest mouse and key events on their designed names.
#include <QLineSeries>
#include <QTest>

#include <gtest/gtest.h>

#include "core/ProgramCodec.h"
#include "pid/PidRun.h"
#include "pid/TFormRabPID.h"
#include "sim/FurnaceFirmware.h"
#include "tests/support/ConsoleHarness.h"
#include "tests/support/TestApplication.h"
#include "trend/TFormGrafik.h"

namespace calorix::testing {

// The emulator with its furnace, program 1 (the one selected at power-up)
// heating to 400 °C at 10 °C/min, holding 5 min, then to 450 °C.
inline ProgramTable furnaceProgram() {
  ProgramTable p{};
  p[1] = {1, 400, 5, 10};
  p[2] = {2, 450, 3, 5};
  return p;
}

// telemetryPeriodMs: one telemetry frame per period once P/B asks.
inline LinkHarnessOptions onFurnace(qint64 telemetryPeriodMs = 500) {
  LinkHarnessOptions o;
  o.firmware = sim::makeFurnaceFirmware(1.0);
  o.controller.telemetryPeriodMs = telemetryPeriodMs;
  return o;
}

class TrendConsole {
 public:
  explicit TrendConsole(LinkHarnessOptions options = onFurnace()) : h(std::move(options)) {
    testApplication();
    auto& prog = h.ctrl().memory().progMem;
    std::fill(prog.begin(), prog.begin() + kProgramBytes, 0);
    for (int stage = 1; stage <= kStageCount; ++stage) {
      const auto record = encodeStage(furnaceProgram(), stage);
      std::copy(record.begin(), record.end(), prog.begin() + stageProgMemAddress(1, stage));
    }
    QDir().mkpath(h.harness().dataRoot());
    h.password = kAccessPassword;
    h.start(QStringLiteral("[Vid prog]\r\nVidProg=4\r\n[Dir]\r\nDirAll=") + h.harness().dataRoot() +
            QStringLiteral("/logs\r\n"));
    h.show();
    pid = &h.console().window<TFormRabPID>();
    trend = &h.console().window<TFormGrafik>();
  }

  static void pressOn(QWidget* root, const char* name) {
    auto* target = root->findChild<QWidget*>(QString::fromLatin1(name));
    ASSERT_NE(target, nullptr) << name;
    QTest::mousePress(target, Qt::LeftButton, {}, target->rect().center());
    QTest::mouseRelease(target, Qt::LeftButton, {}, target->rect().center());
  }
  template <class W>
  W* control(QWidget* root, const char* name) {
    return root->findChild<W*>(QString::fromLatin1(name));
  }
  PidRun& timerPid() { return h.form1().parts().pidRun(); }
  // A run started with "Вкл нагрева" and taken on for ticks more frames.
  void runPid(int ticks) {
    pressOn(&h.form1(), "Button30");
    pressOn(pid, "Button1");
    for (int i = 0; i < ticks; ++i) timerPid().tick();
  }
  int points(plot::Quantity q) {
    trend->drawPendingNow();
    return int(trend->chart().curve(q).size());
  }

  ConsoleHarness h;
  TFormRabPID* pid = nullptr;
  TFormGrafik* trend = nullptr;
};

}  // namespace calorix::testing
