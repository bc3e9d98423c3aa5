#pragma once
// One tool window's surroundings without the main window: the emulator behind
// the in-memory port, scripted message boxes, a run state, and the two panel
// hooks (a counter of panel read-outs and a settable program display text).
//
//   testing::WindowFixture f;
//   TFormDataDide window(f.ctx);
#include <QApplication>
#include <QString>

#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptedMessages.h"
#include "tests/support/TestApplication.h"
#include "ui/WindowContext.h"

namespace calorix::testing {

struct WindowFixture {
  explicit WindowFixture(LinkHarnessOptions options = {}) : harness(std::move(options)) {
    harness.start();
  }

  QApplication& application = testApplication();
  LinkHarness harness;
  ScriptedMessages messages;
  RunState run;
  int panelReads = 0;
  QString programText = "1";
  WindowContext ctx{harness.link(), messages, run, [this] { ++panelReads; },
                    [this] { return programText; }};
};

}  // namespace calorix::testing
