#include "app/DisplayCheck.h"

#include <QByteArray>
#include <QtGlobal>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace calorix {

namespace {

QtMessageHandler previousHandler = nullptr;

struct Held {
  QtMsgType type;
  QByteArray category;
  QString text;
};
// The window system's own complaints, held until we know whether they matter.
std::vector<Held>& held() {
  static std::vector<Held> messages;
  return messages;
}

void startHandler(QtMsgType type, const QMessageLogContext& context, const QString& text) {
  if (type == QtFatalMsg) {
    const QByteArray display = qgetenv("DISPLAY");
    const QString where =
        display.isEmpty() ? QStringLiteral("the window system")
                          : QStringLiteral("the display %1").arg(QString::fromLocal8Bit(display));
    std::fprintf(stderr, "calorix: no display: %s cannot be reached\n", qPrintable(where));
    std::fflush(stderr);
    std::_Exit(1);
  }
  const QByteArray category = context.category ? QByteArray(context.category) : QByteArray();
  if (category.startsWith("qt.qpa")) {
    held().push_back({type, category, text});
    return;
  }
  if (previousHandler) previousHandler(type, context, text);
}

}  // namespace

QString missingDisplay(int argc, char** argv) {
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "-platform") == 0) return QString();
  if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) return QString();
  if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
    return QStringLiteral(
        "calorix: no display: DISPLAY and WAYLAND_DISPLAY are not set; start it in a desktop "
        "session (calorix-cli works without one)");
#else
  Q_UNUSED(argc);
  Q_UNUSED(argv);
#endif
  return QString();
}

void guardToolkitStart() {
  held().clear();
  previousHandler = qInstallMessageHandler(startHandler);
}

void endToolkitStartGuard() {
  qInstallMessageHandler(previousHandler);
  // The toolkit started: what it said on the way is passed on as it was.
  for (const Held& message : held()) {
    const QMessageLogContext context(nullptr, 0, nullptr, message.category.constData());
    qt_message_output(message.type, context, message.text);
  }
  held().clear();
}

}  // namespace calorix
