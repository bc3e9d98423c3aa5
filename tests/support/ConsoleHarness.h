#pragma once
// The whole console — TForm1 and the seven other windows — built by the same
// start-up code as the program, on a LinkHarness (emulator, in-memory port,
// virtual clock, temporary ZaroZ.ini and data root), with message boxes and
// the password window answered by the test.
//
//   ConsoleHarness h;
//   h.start("[Vid prog]\r\nVidProg=4\r\n");  // TForm1's creation runs
//   h.password = "52738416";                 // typed into Edit1 if asked
//   h.show();                                // first show: lock, first read-out
#include <QString>

#include <memory>
#include <optional>

#include "app/Startup.h"
#include "tests/support/LinkHarness.h"
#include "tests/support/ScriptedMessages.h"

namespace calorix::testing {

class ConsoleHarness {
 public:
  ConsoleHarness();
  explicit ConsoleHarness(LinkHarnessOptions options);
  ~ConsoleHarness();
  ConsoleHarness(const ConsoleHarness&) = delete;
  ConsoleHarness& operator=(const ConsoleHarness&) = delete;

  // Writes iniText to ZaroZ.ini unless it is empty, then builds the console:
  // the main window's creation loads the settings, opens the port, applies the
  // view mode and reads the panel once.
  void start(const QString& iniText = QString());
  // Shows the main window; its first show applies the access lock, then the
  // first read of the panel runs.
  void show();
  // Closes the main window as its close box does.
  void close();

  // What the operator types into Edit1 of the password window before closing
  // it with its close box; empty leaves the designed text "Edit1" in place.
  std::optional<QString> password;
  // How many times the password window was shown.
  int passwordAsked = 0;

  ScriptedMessages messages;
  LinkHarness& harness() { return harness_; }
  sim::Controller& ctrl() { return harness_.ctrl(); }
  Link& link() { return harness_.link(); }
  VirtualClock& clock() { return harness_.clock(); }
  Console& console() { return *console_; }
  TForm1& form1() { return console_->form1(); }
  PanelMirror& panel() { return console_->form1().mirror(); }
  WindowContext& context() { return console_->context(); }

 private:
  LinkHarness harness_;
  std::unique_ptr<Console> console_;
};

}  // namespace calorix::testing
