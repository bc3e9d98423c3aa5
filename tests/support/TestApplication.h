#pragma once
// The one QApplication of a window test binary, made on first use.
#include <QApplication>

namespace calorix::testing {

QApplication& testApplication();

}  // namespace calorix::testing
