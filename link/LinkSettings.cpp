// LoadSettings and OpenPort: the link's part of start-up, and where stored
// paths live on this machine.
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QString>

#include "link/Link.h"

namespace calorix {

namespace {
const QString kDeviceKey = QStringLiteral("Device");
}  // namespace

void Link::OpenPort() {
  const QString comPort = QStringLiteral("Com port");
  const QString comPortD = QStringLiteral("Com portD");
  // The defaults of NumPort and StopBits go to "Com portD", which nothing
  // reads: an entry there never reaches the port.
  settings_.numPort = readIntSetting(*ini_, comPort, "NumPort", comPortD, "NumPort", 2);
  settings_.baudRate = readIntSetting(*ini_, comPort, "BaudRate", comPort, "BaudRate", 115200);
  settings_.byteSize = readIntSetting(*ini_, comPort, "ByteSize", comPort, "ByteSize", 8);
  settings_.stopBits = readIntSetting(*ini_, comPort, "StopBits", comPortD, "StopBits", 2);
  settings_.portText = QString::number(settings_.numPort);

  // The operator's choice of device, read only when it is there: the file
  // gains no entry by itself.
  settings_.portDevice = ini_->readString(comPort, kDeviceKey, QString());

  device_ = deviceForPort(settings_.numPort);
  if (!settings_.portDevice.isEmpty()) device_ = settings_.portDevice;
  if (!config_.portDeviceOverride.isEmpty()) device_ = config_.portDeviceOverride;
  openDevice();
}

void Link::openDevice() {
  LineSettings line;
  line.baudRate = settings_.baudRate;
  line.byteSize = std::uint8_t(settings_.byteSize & 0xFF);
  line.stopBits = settings_.stopBits;
  // A lost adapter may come back as another ttyUSBn under the same stable name.
  QStringList reopenNames;
  if (const QString stable = stableNameFor(device_, config_.stableNamesDir); !stable.isEmpty())
    reopenNames << stable;
  trace_.setLineGone(false);
  // Start-up goes on after a failed open; every later exchange fails at its
  // first write.
  if (!transport_.open(config_.openPort, device_, line, reopenNames) && hooks.showControlStatus)
    hooks.showControlStatus(QStringLiteral("Err"));
  state_.status.code = 0;
  state_.FlagLinkBreak = 0;
}

bool Link::choosePort(const QString& device) {
  ini_->writeString(QStringLiteral("Com port"), kDeviceKey, device);
  settings_.portDevice = device;
  device_ = device;
  openDevice();
  // "Err" of the port given up goes; a failed open has just shown its own.
  if (transport_.isOpen() && hooks.showControlStatus) hooks.showControlStatus(QString());
  return transport_.isOpen();
}

void Link::LoadSettings() {
  settings_.protocolOn = false;
  ini_->reload();
  // A file that is there but cannot be read is no missing file: nothing is
  // written over it and the start-up configuration stops here.
  ini_->requireReadable();
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
  constexpr qint32 kLongest = qint32(FramedCommands::kBufferBytes);
  if (frameLength < 1 || frameLength > kLongest) {
    settings_.dataPid = kDefaultDataPid;
    if (hooks.notice)
      hooks.notice(QString::fromUtf8("DataPid = %1 вне диапазона 1..%2; используется %3")
                       .arg(frameLength)
                       .arg(kLongest)
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

  if (config_.protocolOnlyWhenOn && !settings_.protocolOn) return;
  trace_.MakeLogDirs();
  trace_.OpenProtocol();
}

QString Link::titleSuffix() const {
  return QStringLiteral("   ") + settings_.dirAll + QStringLiteral("  Com ") + settings_.portText;
}

QString Link::hostPath(const QString& stored) const {
  return calorix::hostPath(stored, config_.dataRoot);
}

QString defaultIniPath(const QString& executableDir) {
  const QString beside = QDir(executableDir).filePath(QStringLiteral("ZaroZ.ini"));
  // An installed program's folder is no place for one user's settings, even
  // for a user (root) who could write there.
  const QString dir = QDir::cleanPath(QFileInfo(executableDir).absoluteFilePath());
  const bool installed =
      dir.startsWith(QStringLiteral("/usr/")) || dir.startsWith(QStringLiteral("/opt/"));
  if (QFileInfo::exists(beside) || (!installed && QFileInfo(executableDir).isWritable()))
    return beside;
  const QString own =
      QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/calorix";
  QDir().mkpath(own);
  return QDir(own).filePath(QStringLiteral("ZaroZ.ini"));
}

QString hostPath(const QString& stored, const QString& dataRoot) {
#ifdef Q_OS_WIN
  Q_UNUSED(dataRoot);
  return stored;
#else
  QString path = stored;
  path.replace(u'\\', u'/');
  QString root = dataRoot;
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
