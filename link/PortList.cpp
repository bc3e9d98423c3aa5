#include "link/PortList.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonObject>
#include <QSerialPortInfo>

#include <algorithm>

namespace calorix {

namespace {

QString resolved(const QString& path) {
  const QString target = QFileInfo(path).canonicalFilePath();
  return target.isEmpty() ? QDir::cleanPath(path) : target;
}

}  // namespace

QString stableNameFor(const QString& device, const QString& stableNamesDir) {
  if (device.isEmpty()) return QString();
  const QDir dir(stableNamesDir);
  if (!dir.exists()) return QString();
  // Already a stable name: it is what will be opened again.
  if (QFileInfo(device).absolutePath() == dir.absolutePath()) return QString();
  const QString target = resolved(device);
  const QStringList names =
      dir.entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
  for (const QString& name : names) {
    const QString path = dir.filePath(name);
    if (resolved(path) == target) return path;
  }
  return QString();
}

std::vector<PortEntry> listPorts(const QString& stableNamesDir) {
  std::vector<PortEntry> ports;
  for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
    PortEntry entry;
    entry.name = info.portName();
    entry.location = info.systemLocation();
    entry.description = info.description();
    entry.manufacturer = info.manufacturer();
    entry.serialNumber = info.serialNumber();
    entry.stableName = stableNameFor(entry.location, stableNamesDir);
    ports.push_back(entry);
  }
  std::sort(ports.begin(), ports.end(),
            [](const PortEntry& a, const PortEntry& b) { return a.location < b.location; });
  return ports;
}

QString portListText(const std::vector<PortEntry>& ports) {
  if (ports.empty()) return QStringLiteral("no serial ports found\n");
  QString text;
  for (const PortEntry& p : ports) {
    text += p.device() + QLatin1Char('\n');
    const auto fact = [&text](const char* label, const QString& value) {
      if (!value.isEmpty()) text += QStringLiteral("    %1: %2\n").arg(QLatin1String(label), value);
    };
    fact("system name", p.name);
    if (p.device() != p.location) fact("device", p.location);
    fact("description", p.description);
    fact("maker", p.manufacturer);
    fact("serial number", p.serialNumber);
  }
  return text;
}

QJsonArray portListJson(const std::vector<PortEntry>& ports) {
  QJsonArray array;
  for (const PortEntry& p : ports) {
    array.append(QJsonObject{{QStringLiteral("device"), p.device()},
                             {QStringLiteral("systemName"), p.name},
                             {QStringLiteral("location"), p.location},
                             {QStringLiteral("description"), p.description},
                             {QStringLiteral("manufacturer"), p.manufacturer},
                             {QStringLiteral("serialNumber"), p.serialNumber},
                             {QStringLiteral("stableName"), p.stableName}});
  }
  return array;
}

}  // namespace calorix
