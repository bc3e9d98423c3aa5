#include "link/QuietToolkit.h"

#include <QString>
#include <QtGlobal>

namespace calorix {

namespace {

QtMessageHandler passOn = nullptr;

void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtDebugMsg || type == QtInfoMsg || type == QtWarningMsg) return;
  if (passOn) passOn(type, context, text);
}

}  // namespace

void keepToolkitQuiet() {
  if (qEnvironmentVariable("CALORIX_QT_MESSAGES") == QStringLiteral("1")) return;
  passOn = qInstallMessageHandler(quietHandler);
}

}  // namespace calorix
