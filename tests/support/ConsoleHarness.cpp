#include "tests/support/ConsoleHarness.h"

#include <QTest>

#include "app/TForm2.h"

namespace calorix::testing {

ConsoleHarness::ConsoleHarness() : ConsoleHarness(LinkHarnessOptions{}) {}

ConsoleHarness::ConsoleHarness(LinkHarnessOptions options) : harness_(std::move(options)) {}

ConsoleHarness::~ConsoleHarness() = default;

void ConsoleHarness::start(const QString& iniText) {
  if (!iniText.isEmpty()) harness_.writeIni(iniText);
  ConsoleSetup setup;
  setup.link = &harness_.link();
  setup.messages = &messages;
  // The real password window, shown without its modal loop: the operator's
  // keys go into Edit1 and the window is closed.
  setup.passwordAnswer = [this](TForm2& window) {
    ++passwordAsked;
    window.show();
    if (password) QTest::keyClicks(window.edit1(), *password);
    window.close();
    return window.edit1()->text();
  };
  console_ = std::make_unique<Console>(std::move(setup));
}

void ConsoleHarness::show() {
  console_->form1().show();
  // The first read-out that the first show queued runs now, as the event
  // loop would run it next.
  QCoreApplication::sendPostedEvents(&console_->form1(), QEvent::MetaCall);
}

void ConsoleHarness::close() {
  console_->form1().close();
}

}  // namespace calorix::testing
