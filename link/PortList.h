#pragma once
// The serial ports of this machine, as the port chooser, `calorix --list-ports`
// and `calorix-cli ports` show them: one listing, one text form, one JSON form.
// Also the stable name of a device (/dev/serial/by-id/...), under which a USB
// adapter comes back whatever ttyUSBn it gets when plugged in again.
#include <QJsonArray>
#include <QString>

#include <vector>

namespace calorix {

// Where udev keeps the stable names of serial devices.
inline const QString kStableNamesDir = QStringLiteral("/dev/serial/by-id");

struct PortEntry {
  QString name;          // the system's name: ttyUSB0, COM3
  QString location;      // the device to open: /dev/ttyUSB0, \\.\COM3
  QString description;   // what the driver or the adapter calls itself
  QString manufacturer;  // the maker, where the adapter says
  QString serialNumber;  // the adapter's serial number, where it has one
  QString stableName;    // a name in the stable-names folder that leads here
  // What to open and keep in ZaroZ.ini: the stable name where there is one.
  QString device() const { return stableName.isEmpty() ? location : stableName; }
};

// Every port the toolkit knows, with its stable name, ordered by location.
std::vector<PortEntry> listPorts(const QString& stableNamesDir = kStableNamesDir);

// The name in stableNamesDir that leads to the same device as `device`
// (links followed on both sides); empty when there is none, and when
// `device` is itself in that folder.
QString stableNameFor(const QString& device, const QString& stableNamesDir = kStableNamesDir);

// One block per port: the device to open, then the other facts it has.
QString portListText(const std::vector<PortEntry>& ports);
// One object per port, with every field (empty ones included).
QJsonArray portListJson(const std::vector<PortEntry>& ports);

}  // namespace calorix
