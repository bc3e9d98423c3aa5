// LoadSettings: the link's part of start-up, and where stored paths live on
// this machine.
#include <QDir>
#include <QString>

#include "link/Link.h"

namespace calorix {

void Link::LoadSettings() {
  ProtocolSubdir = QStringLiteral("RS485");
  settings_.protocolOn = false;
  ini_->reload();
  OpenPort();

  const QString vidProg = QStringLiteral("Vid prog");
  // Read as "VidProg", default written as "Vidprog": the same entry, since
  // keys compare without regard to case.
  settings_.vidProg = readIntSetting(*ini_, vidProg, "VidProg", vidProg, "Vidprog", 1);
  for (int i = 0; i < 3; ++i) {
    const QString key = QStringLiteral("CodeProg%1").arg(i + 1);
    settings_.codes[i] = readIntSetting(*ini_, vidProg, key, vidProg, key, kLockedCodes[i]);
  }

  const QString dataPid = QStringLiteral("Data PID");
  const qint32 frameLength =
      readIntSetting(*ini_, dataPid, "DataPid", dataPid, "DataPid", kDefaultDataPid);
  // The frame is read into 512-byte buffers: a longer (or negative) length
  // would run past them. The file keeps its value; this run uses the default.
  if (frameLength < 1 || frameLength > 512) {
    settings_.dataPid = kDefaultDataPid;
    if (hooks.notice)
      hooks.notice(QString::fromUtf8("DataPid = %1 вне диапазона 1..512; используется %2")
                       .arg(frameLength)
                       .arg(kDefaultDataPid));
  } else {
    settings_.dataPid = frameLength;
  }

  const QString dir = QStringLiteral("Dir");
  const QString sentinel = QStringLiteral("123");
  settings_.dirAll =
      readStringSetting(*ini_, dir, "DirAll", sentinel, QString::fromUtf8("C:\\Данные Pidа"));
  settings_.dirProtocol =
      readStringSetting(*ini_, dir, "DirProtocol", sentinel, QString::fromUtf8("Протоколы"));
  const QString rs485 = QStringLiteral("RS485");
  const QString disable = QStringLiteral("Disable");
  // "Disable", present or not, is written again; only "Enabled" exactly
  // switches the protocol on.
  const QString writeRs485 = readStringSetting(*ini_, rs485, "WriteRs485", disable, disable);
  settings_.protocolOn = writeRs485 == QStringLiteral("Enabled");

  MakeLogDirs();
  OpenProtocol();
}

QString Link::titleSuffix() const {
  return QStringLiteral("   ") + settings_.dirAll + QStringLiteral("  Com ") + settings_.portText;
}

QString Link::hostPath(const QString& stored) const {
#ifdef Q_OS_WIN
  return stored;
#else
  QString path = stored;
  path.replace(u'\\', u'/');
  QString root = config_.dataRoot;
  if (root.isEmpty()) root = QDir::homePath() + QStringLiteral("/.local/share/calorix");
  const bool hasDrive =
      path.size() >= 2 && path[1] == u':' && path[0].unicode() < 0x80 && path[0].isLetter();
  if (hasDrive) {
    const QString rest = path.mid(2);
    return QDir::cleanPath(root + QStringLiteral("/drive_") + path[0].toLower() + u'/' + rest);
  }
  if (stored.startsWith(u'\\'))  // the root of the current drive: C:
    return QDir::cleanPath(root + QStringLiteral("/drive_c/") + path);
  if (path.startsWith(u'/')) return QDir::cleanPath(path);
  return QDir::cleanPath(QDir::currentPath() + u'/' + path);
#endif
}

}  // namespace calorix
