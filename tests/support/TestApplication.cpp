#include "tests/support/TestApplication.h"

namespace calorix::testing {

QApplication& testApplication() {
  static int argc = 1;
  static char name[] = "test_ui";
  static char* argv[] = {name, nullptr};
  static QApplication* instance =
      qApp ? static_cast<QApplication*>(qApp) : new QApplication(argc, argv);
  return *instance;
}

}  // namespace calorix::testing
