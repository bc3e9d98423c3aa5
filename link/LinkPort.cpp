// The serial port of the link: open and configure at start-up, drain, raw
// transfers, purge and close. The link status texts live here too.
#include <QString>

#include "link/Link.h"

namespace calorix {

namespace status_text {
QString done() {
  return QString::fromUtf8("Выполнено");
}
QString noAnswerBoards() {
  return QString::fromUtf8("ошибка 1 - нет связи с платами Корунда");
}
QString noAnswer() {
  return QString::fromUtf8("ошибка 1 - нет связи с Корундом");
}
QString refused() {
  return QString::fromUtf8("ошибка 2 - команда не выполнена");
}
QString unknown() {
  return QString::fromUtf8("ошибка 254 - неизвестная ошибка");
}
QString writeFailed() {
  return QString::fromUtf8("ошибка 255 - не записалось в буфер порта");
}
QString reserved(int code) {
  switch (code) {
    case 3:
      return QString::fromUtf8("ошибка 3 - нераспознанная команда");
    case 4:
      return QString::fromUtf8("ошибка 4 - отсутствует связь с платой ШД");
    case 5:
      return QString::fromUtf8("ошибка 5 - отсутствует связь с платой видеосинхронизации");
    case 6:
      return QString::fromUtf8("ошибка 6 - главная команда нераспознана");
    default:
      return unknown();
  }
}
}  // namespace status_text

namespace {

// COM1..COM16; any other number names no device and the open fails.
QString deviceForPort(qint32 number) {
  if (number < 1 || number > 16) return QString();
#ifdef Q_OS_WIN
  return QStringLiteral("\\\\.\\COM%1").arg(number);
#else
  return QStringLiteral("/dev/ttyS%1").arg(number - 1);
#endif
}

Clock& fallbackClock() {
  static RealClock clock;
  return clock;
}

}  // namespace

Link::Link(LinkConfig config)
    : config_(std::move(config)), ini_(std::make_unique<IniFile>(config_.iniPath)) {
  if (!config_.clock) config_.clock = &fallbackClock();
}

Link::~Link() {
  ClosePort();
}

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

  device_ = deviceForPort(settings_.numPort);
  if (!config_.portDeviceOverride.isEmpty()) device_ = config_.portDeviceOverride;

  ClosePort();
  if (!device_.isEmpty() && config_.openPort) port_ = config_.openPort(device_);
  if (!port_) {
    // Start-up goes on; every later exchange fails at its first write.
    if (hooks.showControlStatus) hooks.showControlStatus(QStringLiteral("Err"));
  } else {
    port_->setQueueSizes(1024, 1024);
    LineSettings line;
    line.baudRate = settings_.baudRate;
    line.byteSize = std::uint8_t(settings_.byteSize & 0xFF);
    line.stopBits = settings_.stopBits;
    port_->applyLine(line);
    port_->setTimeouts(kNormalTimeouts);
    port_->purge();
  }
  DrainPort();
  status.code = 0;
  FlagLinkBreak = 0;
}

void Link::DrainPort() {
  if (port_) {
    Timeouts drain = port_->timeouts();
    drain.readInterval = kDrainReadInterval;
    drain.readPerByte = kDrainReadPerByte;
    drain.readConstant = kDrainReadConstant;
    port_->setTimeouts(drain);
  }
  TransferCount = 1;
  // A controller that keeps sending must not hold the console for ever.
  for (int reads = 0; reads < 9999; ++reads)
    if (RawRead(ByteBuf.data()) == 0) break;
  if (port_) port_->setTimeouts(kNormalTimeouts);
}

void Link::ClosePort() {
  if (!port_) return;
  port_->close();
  port_.reset();
}

bool Link::RawWrite(const std::uint8_t* data) {
  TransferDone = 0;
  if (!port_) return false;
  return port_->write(data, TransferCount, TransferDone);
}

std::uint32_t Link::RawRead(std::uint8_t* data) {
  TransferDone = 0;
  if (!port_) return 0;
  TransferDone = port_->read(data, TransferCount);
  return TransferDone;
}

void Link::PurgePort() {
  if (port_) port_->purge();
}

}  // namespace calorix
